#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/text/wstring.h"
#include "graphics/animation/cfg_keyframe_animator.h"
#include "support/temp_files.h"

namespace {

std::string ReadLog() {
    std::ifstream in("animator_log.html");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Loads the cfg text's first "Anim" object; returns the result.
int LoadCfg(GLabelKeyFrameAnimator& a, const std::string& body, GCfgNode& root) {
    const std::string text = "Anim { " + body + " }";
    EXPECT_EQ(root.Parse(text.data(), text.size()), 1) << text;
    GCfgObjectCursor cursor(root.FindObjectList("Anim"), 0);
    return a.LoadAndCheck(cursor, nullptr);
}

const char* const kTwoKeys =
    "TotalFrames = 10 KeyFrame { OnFrame = 0 Label = a } "
    "KeyFrame { OnFrame = 9 Label = b Action = Stop Param1 = 3 Param2 = 4 ChannelMask = 6 } ";

template <typename T>
std::vector<int32_t> Channel(const GKeyFrameAnimator& a, T GAnimationFrame::*field) {
    std::vector<int32_t> out;
    for (uint32_t i = 0; i < a.GetFrameCount(); ++i)
        out.push_back(a.GetFrame(i)->*field);
    return out;
}

// A key frame's fields (rotate and scale aside) as one comparable value.
using KeyFields = std::tuple<std::string, int, int, int, int, int>;
KeyFields Fields(const GKeyFrame& k) {
    return {std::string(k.label, k.LabelLength()), k.action, k.param1, k.param2, k.channelMask, k.frame};
}

TEST(CfgKeyFrameLoaderTest, InterpolationsExactly) {
    GLabelKeyFrameAnimator a;
    GCfgNode root;
    ASSERT_EQ(LoadCfg(a, std::string(kTwoKeys) +
                             "Interpolation { Channel = Alpha From = 0 To = 255 FromKey = a ToKey = b Type = Linear } "
                             "Interpolation { Channel = X From = 0 Size = 5 FromKey = a ToKey = b Type = Linear } "
                             "Interpolation { Channel = Y From = 0 To = 9 FromKey = b ToKey = a Type = Linear } "
                             "Interpolation { Channel = Bitmap From = 7 To = 7 FromKey = a ToKey = b Type = linear } ",
                      root),
              1);
    ASSERT_EQ(a.GetFrameCount(), 10u);
    EXPECT_EQ(Channel(a, &GAnimationFrame::alpha), (std::vector<int32_t>{0, 28, 56, 84, 113, 141, 169, 198, 226, 255}));
    EXPECT_EQ(Channel(a, &GAnimationFrame::x),
              (std::vector<int32_t>{0, 113, 226, 339, 452, 565, 678, 791, 904, 1024}));
    // Reversed keys swap the frames, not the values.
    EXPECT_EQ(Channel(a, &GAnimationFrame::y),
              (std::vector<int32_t>{0, 256, 512, 768, 1024, 1280, 1536, 1792, 2048, 2304}));
    EXPECT_EQ(a.GetFrame(4)->image, 0); // "linear" is no type: nothing written
    EXPECT_EQ(Fields(*a.GetKeyFrame(1)), Fields({"b", kActionStop, 3, 4, 6, 9}));
    EXPECT_EQ(Channel(a, &GAnimationFrame::keyFrame), (std::vector<int32_t>{0, -1, -1, -1, -1, -1, -1, -1, -1, 1}));
}

TEST(CfgKeyFrameLoaderTest, RefusalsAreLogged) {
    // The log is written in the current folder, which other suites running at the same time
    // share: this one reads its own.
    tolvanrise::test::TempFolder folder("keyframe_log_");
    tolvanrise::test::ScopedCurrentFolder here(folder.Path());
    ASSERT_TRUE(here.Entered());
    struct Case {
        std::string body;
        int result;
        const char* logged;
        int errors; // each refusal is logged once, with the first fault found
    };
    const Case cases[] = {
        {"TotalFrames = 3", 0, "No key frames found!", 1},
        {"TotalFrames = 3 KeyFrame { Label = a } KeyFrame { OnFrame = 1 Label = b }", 0,
         "Key frames with empty OnFrame are not accepted!", 2},
        {"TotalFrames = 3 KeyFrame { OnFrame = 0 } KeyFrame { OnFrame = 1 Label = b }", 0,
         "Key frames with empty label are not accepted!", 2},
        {"TotalFrames = 3 KeyFrame { OnFrame = 0 Label = a } KeyFrame { OnFrame = 3 Label = b }", 0,
         "Key frame b lies past TotalFrames!", 2},
        {"TotalFrames = 70000", 0, "TotalFrames 70000 is out of range", 1},
        {"TotalFrames = -1", 0, "TotalFrames -1 is out of range", 1},
        {std::string(kTwoKeys) + "Interpolation { From = 1 FromKey = a ToKey = b }", 1,
         "Interpolation with no channel are not accepted!", 1},
        {std::string(kTwoKeys) + "Interpolation { FromKey = a ToKey = c }", 1,
         "Interpolation with no channel are not accepted!", 1},
        {std::string(kTwoKeys) + "Interpolation { Channel = X FromKey = a ToKey = b }", 1,
         "Interpolation without From field are not accepted!", 1},
        {std::string(kTwoKeys) + "Interpolation { Channel = X From = 1 ToKey = b }", 1,
         "Interpolation without FromKey or ToKey are not accepted!", 1},
        {std::string(kTwoKeys) + "Interpolation { Channel = X From = 1 FromKey = a ToKey = c }", 1,
         "Keyframe c not found!", 1},
    };
    for (const Case& c : cases) {
        GLabelKeyFrameAnimator a;
        GCfgNode root;
        EXPECT_EQ(LoadCfg(a, c.body, root), c.result) << c.body;
        const std::string log = ReadLog();
        EXPECT_TRUE(log.find(c.logged) != std::string::npos &&
                    log.find("Total Errors = " + std::to_string(c.errors) + "\n") != std::string::npos)
            << c.body << "\n" << log;
        EXPECT_TRUE(c.result == 1 || a.GetKeyFrameCount() == 0) << c.body;
    }
    // A bitmap name without a store resolves to -1; from there the interpolation still runs.
    GLabelKeyFrameAnimator a;
    GCfgNode root;
    ASSERT_EQ(LoadCfg(a, std::string(kTwoKeys) +
                             "Interpolation { Channel = Bitmap From = IMG To = 8 FromKey = a ToKey = b Type = Linear }",
                      root),
              1);
    EXPECT_EQ(std::make_pair(a.GetFrame(0)->image, a.GetFrame(9)->image), (std::pair<int16_t, int16_t>(-1, 8)));
    // No object under the cursor: refused before any log is opened.
    EXPECT_EQ(a.LoadAndCheck(GCfgObjectCursor(root.FindObjectList("Anim"), 1), nullptr) +
                  a.LoadAndCheck(GCfgObjectCursor(), nullptr),
              0);
}

TEST(CfgKeyFrameLoaderTest, InterpolationClipsToTheFrames) {
    GLabelKeyFrameAnimator a;
    GCfgNode root;
    ASSERT_EQ(LoadCfg(a, kTwoKeys, root), 1);
    EXPECT_EQ(a.InterpolateLinear(-5, 20, 0, 25, kInterpolateAlpha), 1);
    EXPECT_EQ(std::make_pair(a.GetFrame(0)->alpha, a.GetFrame(9)->alpha), (std::pair<uint8_t, uint8_t>(5, 14)));
    EXPECT_EQ(a.Interpolate(0, 0, 9, 0, 1, kInterpolateX), 0);
    EXPECT_EQ(a.InterpolateLinear(3, 3, 7, 9, kInterpolateImage), 1);
    EXPECT_EQ(a.GetFrame(3)->image, 9);
}

// Linear ramps on each channel: from the first value on the earlier frame to the last value,
// exactly, on the later one, only on frames that exist; a channel of no name writes nothing.
TEST(CfgKeyFrameLoaderTest, LinearRampsOnEveryChannelEndExactly)
{
    struct Ramp {
        int32_t from, to, a, b, channel;
        std::vector<std::pair<int, int32_t>> expected;
    };
    const Ramp ramps[] = {
        {2,
         6,
         10,
         30,
         kInterpolateX,
         {{2, 10 << 8}, {3, 15 << 8}, {4, 20 << 8}, {5, 25 << 8}, {6, 30 << 8}}},
        {7, 20, 0, 26, kInterpolateY, {{7, 0}, {8, 2 << 8}, {9, 4 << 8}}},
        {-3, 1, 4, 8, kInterpolateAlpha, {{0, 7}, {1, 8}}},
        {5, 5, 3, 9, kInterpolateImage, {{5, 9}}},
        {0, 9, 1, 2, kInterpolateNone, {}},
    };
    for (const Ramp& r : ramps) {
        SCOPED_TRACE(r.channel);
        GLabelKeyFrameAnimator a;
        GCfgNode root;
        ASSERT_EQ(LoadCfg(a, kTwoKeys, root), 1);
        std::vector<GAnimationFrame> before;
        for (uint32_t i = 0; i < a.GetFrameCount(); ++i)
            before.push_back(*a.GetFrame(i));
        EXPECT_EQ(a.Interpolate(1, r.from, r.to, r.a, r.b, r.channel), 1);
        for (uint32_t i = 0; i < a.GetFrameCount(); ++i) {
            GAnimationFrame want = before[i];
            for (auto [frame, value] : r.expected) {
                if (uint32_t(frame) != i)
                    continue;
                want.x = r.channel == kInterpolateX ? value : want.x;
                want.y = r.channel == kInterpolateY ? value : want.y;
                want.alpha = r.channel == kInterpolateAlpha ? uint8_t(value) : want.alpha;
                want.image = r.channel == kInterpolateImage ? int16_t(value) : want.image;
            }
            const GAnimationFrame& got = *a.GetFrame(i);
            EXPECT_EQ(std::make_tuple(got.image, got.x, got.y, int(got.alpha)),
                      std::make_tuple(want.image, want.x, want.y, int(want.alpha)))
                << "frame " << i;
        }
    }
}

TEST(CfgKeyFrameLoaderTest, NameTablesCursorAndKeys) {
    GCfgKeyFrameAnimator a;
    const char* const actions[] = {"MoveToKeyFrame", "SetSpeed", "Wait", "Stop", "SetMirror", "stop", ""};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(a.ParseAction(actions[i]), std::min(i, 5)) << actions[i];
    EXPECT_EQ(a.ParseAction(nullptr), 5);
    EXPECT_EQ(a.ParseChannel("Y") * 10 + a.ParseChannel("x"), 40);
    EXPECT_EQ(a.ParseInterpolation("Linear") * 10 + a.ParseInterpolation(""), 10);

    GCfgNode root;
    const char text[] = "A { v = 1 } A { v = 2 } B { v = 3 }";
    ASSERT_EQ(root.Parse(text, sizeof text - 1), 1);
    GCfgObjectCursor cursor(root.FindObject("A"));
    EXPECT_EQ(cursor.GetElement(), nullptr); // a fresh cursor stands before the first object
    EXPECT_EQ(cursor.Next()->GetI("v", 0), 1);
    EXPECT_EQ(cursor.Next()->GetI("v", 0), 2);
    EXPECT_TRUE(!cursor.Next() && cursor.GetIndex() == -1);
    EXPECT_TRUE(cursor == GCfgObjectCursor(root.FindObject("A")));
    EXPECT_FALSE(cursor == GCfgObjectCursor(root.FindObject("B")) || cursor == GCfgObjectCursor());
    EXPECT_TRUE(GCfgObjectCursor() == GCfgObjectCursor(root.FindObject("C")));

    EXPECT_EQ(NameOrIdEquals("a", 1, "a", 2) + NameOrIdEquals(nullptr, 1, "b", 1), 2);
    EXPECT_EQ(NameOrIdEquals("a", 1, "b", 1) + NameOrIdEquals("a", 1, nullptr, 2), 0);
}

TEST(AttributeKeyFrameLoaderTest, FramesRepeatAndJumpsResolve) {
    GXmlDataDoc doc;
    ASSERT_EQ(doc.LoadFromText(GWString(
                  u"<Anim><Frames BaseBitmap='4' Speed='50'>"
                  u"<Frame Bitmap='3' X='10'/><Frame/>"
                  u"<Frame Alpha='128' KeyFrame='loop' Action='acMoveToKeyFrame' Param1='start'/>"
                  u"<Frame KeyFrame='start' Action='acStop' Mask='6' Param1='9' Param2='3' Rotate='4' Scale='5' Y='-2'/>"
                  u"<Frame KeyFrame='bad' Action='acMoveToKeyFrame' Param1='nowhere'/>"
                  u"<Frame KeyFrame='other' Action='Stop'/>"
                  u"</Frames></Anim>")),
              1);
    GCfgKeyFrameAnimator a;
    ASSERT_EQ(a.LoadDescription(doc.GetChild("Anim")), 1);
    EXPECT_EQ(std::pair(a.GetClipFrame(), a.GetSpeed()), (std::pair<int16_t, int32_t>(4, 128)));
    ASSERT_EQ(a.GetFrameCount(), 6u);
    EXPECT_EQ(Channel(a, &GAnimationFrame::x), (std::vector<int32_t>(6, 2560)));
    EXPECT_EQ(Channel(a, &GAnimationFrame::y), (std::vector<int32_t>{0, 0, 0, -512, -512, -512}));
    EXPECT_EQ(Channel(a, &GAnimationFrame::alpha), (std::vector<int32_t>{0, 0, 128, 128, 128, 128}));
    EXPECT_EQ(Channel(a, &GAnimationFrame::image), (std::vector<int32_t>(6, 3)));
    EXPECT_EQ(Channel(a, &GAnimationFrame::keyFrame), (std::vector<int32_t>{-1, -1, 0, 1, 2, 3}));
    ASSERT_EQ(a.GetKeyFrameCount(), 4u);
    // "start" comes later and still resolves; "nowhere" does not; cfg names are not attribute names.
    const std::vector<KeyFields> keys = {{"loop", kActionMoveToKeyFrame, 1, 0, 255, 2},
                                         {"start", kActionStop, 9, 3, 6, 3},
                                         {"bad", kActionMoveToKeyFrame, -1, 0, 255, 4},
                                         {"other", kActionNone, 0, 0, 255, 5}};
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(Fields(*a.GetKeyFrame(i)), keys[i]) << i;
    EXPECT_EQ((std::pair(a.GetKeyFrame(1)->rotate, a.GetKeyFrame(1)->scale)), (std::pair<int16_t, int16_t>(4, 5)));

    // A label named twice: the jump goes to the first key frame of that name.
    ASSERT_EQ(doc.LoadFromText(GWString(u"<Anim><Frames><Frame KeyFrame='x'/>"
                                        u"<Frame KeyFrame='go' Action='acMoveToKeyFrame' Param1='x'/>"
                                        u"<Frame KeyFrame='x'/></Frames></Anim>")),
              1);
    ASSERT_EQ(a.LoadDescription(doc.GetChild("Anim")), 1);
    ASSERT_EQ(a.GetKeyFrameCount(), 3u);
    EXPECT_EQ(a.GetKeyFrame(1)->param1, 0);

    ASSERT_EQ(doc.LoadFromText(GWString(u"<Anim><Frames><Frame/></Frames><Other/></Anim>")), 1);
    ASSERT_EQ(a.LoadDescription(doc.GetChild("Anim")), 1);
    EXPECT_EQ(std::pair(a.GetSpeed(), a.LoadDescription(nullptr)), std::pair(2, 0));
    ASSERT_EQ(doc.LoadFromText(GWString(u"<Anim><Frame/></Anim>")), 1);
    EXPECT_EQ(a.LoadDescription(doc.GetChild("Anim")), 0);
    EXPECT_EQ(a.GetFrameCount(), 0u);
}

TEST(FrameTrackLoaderTest, ShortListsGiveZero) {
    GCfgNode root;
    const char text[] = "Frames { f = [1 2 3] a = [10 20] x = [5] }";
    ASSERT_EQ(root.Parse(text, sizeof text - 1), 1);
    GLabelKeyFrameAnimator a;
    ASSERT_EQ(a.LoadFrameTracks(root), 1);
    EXPECT_EQ(Channel(a, &GAnimationFrame::x), (std::vector<int32_t>{1280, 0, 0}));
    EXPECT_EQ(Channel(a, &GAnimationFrame::alpha), (std::vector<int32_t>{10, 20, 0}));
    EXPECT_EQ(Channel(a, &GAnimationFrame::image), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(a.GetKeyFrameCount(), 0u);
    ASSERT_EQ(a.LoadFrameTracks(GCfgNode()), 1);
    EXPECT_EQ(a.GetFrameCount(), 0u);
}

} // namespace
