#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "graphics/animation/animator_command_sequence.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/animation/keyframe_animator.h"
#include "graphics/scene/clip.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/store/bitmap_table.h"
#include "support/reference_kernels.h"
#include "support/temp_files.h"

namespace {

struct Recorder : GKeyFrameListener {
    std::vector<std::string> events;
    void OnKeyFrame(GKeyFrameAnimator*, const GKeyFrame* k, int32_t i) override {
        events.push_back("key " + std::string(k->label, k->LabelLength()) + " " + std::to_string(i));
    }
    void OnState0(GKeyFrameAnimator*) override { events.push_back("state0"); }
    void OnState1(GKeyFrameAnimator*) override { events.push_back("state1"); }
    void OnState2(GKeyFrameAnimator*) override { events.push_back("state2"); }
};

struct Key {
    const char* label;
    uint8_t action;
    int16_t param;
    int16_t frame;
    uint8_t mask = 255;
};

// An animator whose frame i puts the clip at x = i pixels, with key frames where asked.
class Animation : public GKeyFrameAnimator {
public:
    Animation(int frames, std::vector<Key> keys) {
        SetClip(&clip);
        SetListener(&recorder);
        ResetAnimation(); // all channels, as every loader leaves it
        for (const Key& k : keys) {
            AddKeyFrame(k.label, k.action, uint16_t(k.param), 0, k.mask);
            KeyFrameAt(GetKeyFrameCount() - 1)->frame = k.frame;
        }
        for (int i = 0; i < frames; ++i) {
            int8_t link = -1; // the last key frame on the frame, as the loaders link them
            for (size_t k = 0; k < keys.size(); ++k)
                if (keys[k].frame == i)
                    link = int8_t(k);
            AddInterpolation(uint16_t(i), i * 256, -i * 256, uint8_t(i), uint8_t(link));
        }
    }
    // One tick; the trace is state:applied frame:position.
    std::string Tick() {
        ApplyFrame();
        int32_t pos;
        GetFramePosition(&pos);
        return std::to_string(GetState()) + ":" + std::to_string(clip.GetX() >> 8) + ":" +
               std::to_string(pos);
    }
    std::vector<std::string> Ticks(int n) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(Tick());
        return out;
    }

    GClip clip;
    Recorder recorder;
};

using Trace = std::vector<std::string>;

TEST(KeyFrameAnimatorTest, TickTablesAndReplayAfterAStop) {
    struct Case {
        const char* name;
        int frames;
        std::vector<Key> keys;
        int32_t speedPercent;
        int32_t startFrame;
        Trace expected;
    };
    const Case cases[] = {
        {"three frames then stop", 3, {}, 100, 0, {"0:0:256", "0:1:512", "0:2:768", "1:2:0", "1:2:0"}},
        {"half speed applies each frame twice", 3, {}, 50, 0,
         {"0:0:128", "0:0:256", "0:1:384", "0:1:512", "0:2:640", "0:2:768", "1:2:0"}},
        {"wait 3 holds four calls", 4, {{"w", kActionWait, 3, 1}}, 100, 0,
         {"0:0:256", "2:1:512", "2:1:512", "2:1:512", "2:1:512", "0:1:512", "0:2:768"}},
        {"wait at half speed happens on both ticks", 3, {{"w", kActionWait, 0, 1}}, 50, 0,
         {"0:0:128", "0:0:256", "2:1:384", "0:1:384", "2:1:512", "0:1:512", "0:2:640"}},
        {"stop action leaves position at speed", 4, {{"s", kActionStop, 0, 1}}, 100, 0,
         {"0:0:256", "1:1:256", "1:1:256"}},
        {"backwards past frame 0 stops", 3, {}, -100, 2, {"0:2:256", "0:1:0", "0:0:-256", "1:0:0"}},
        {"speed 0 stands still", 3, {}, 0, 1, {"0:1:256", "0:1:256"}},
        {"jump loops", 4, {{"a", kActionNone, 0, 0}, {"j", kActionMoveToKeyFrame, 0, 2}}, 100, 0,
         {"0:0:256", "0:1:512", "0:2:256", "0:1:512", "0:2:256"}},
        {"broken jump target is no jump", 4, {{"j", kActionMoveToKeyFrame, 7, 1}}, 100, 0,
         {"0:0:256", "0:1:512", "0:2:768"}},
        {"speed key frame", 4, {{"v", kActionSetSpeed, 50, 1}}, 100, 0,
         {"0:0:256", "0:1:384", "0:1:512", "0:2:640"}},
    };
    for (const Case& c : cases) {
        Animation a(c.frames, c.keys);
        a.SetSpeedPercent(c.speedPercent);
        a.SetFramePosition(int16_t(c.startFrame));
        a.SetState(kStatePlaying);
        EXPECT_EQ(a.Ticks(int(c.expected.size())), c.expected) << c.name;
    }
    // Stopped, then played again: from the speed on.
    Animation a(4, {{"s", kActionStop, 0, 0}});
    a.SetState(kStatePlaying);
    a.Ticks(1);
    EXPECT_EQ(a.GetCurrentKeyFrame(), -1);
    a.SetState(kStatePlaying);
    EXPECT_EQ(a.Tick(), "0:1:512"); // frame 1 again: position was the speed
    EXPECT_EQ(a.recorder.events, (Trace{"state0", "key s 0", "state1", "state0"}));
}

TEST(KeyFrameAnimatorTest, SpeedPercentStatesLabelsAndChannelMask) {
    GKeyFrameAnimator a;
    const std::pair<int32_t, int32_t> speeds[] = {{250, 256}, {-250, -256}, {100, 256}, {50, 128},
                                                  {1, 2},     {0, 0},       {-30, -76}, {101, 256}};
    for (auto [percent, speed] : speeds) {
        a.SetSpeedPercent(percent);
        EXPECT_EQ(a.GetSpeed(), speed) << percent;
    }
    Animation b(3, {{"stNormalEnd", kActionNone, 0, 0}, {"abcdefghijklmnopqrstuvwxyz", kActionNone, 0, 1}});
    EXPECT_STREQ(std::string(b.GetKeyFrame(1)->label, 20).c_str(), "abcdefghijklmnopqrst");
    b.MoveToKeyFrame("stNormal");
    EXPECT_EQ(std::make_tuple(b.IsAtKeyFrame("stNormal"), b.IsAtKeyFrame(""), b.IsAtKeyFrame("stNormalEnd2")),
              std::make_tuple(1, 1, 0));
    b.MoveToKeyFrame("abcdefghijklmnopqrstXYZ"); // only 20 characters count
    EXPECT_EQ(b.GetCurrentKeyFrame(), 1);
    b.MoveToKeyFrame(nullptr); // no label: nothing
    EXPECT_EQ(b.GetCurrentKeyFrame(), 1);
    b.MoveToKeyFrameIndex(2); // past the end: nothing
    EXPECT_EQ(b.GetCurrentKeyFrame(), 1);
    b.SetState(kStateStopped);
    b.SetState(kStateStopped);
    EXPECT_EQ(b.IsAtKeyFrame("stNormal"), 0);
    EXPECT_EQ(b.recorder.events, (Trace{"state1", "state1"}));

    // Channel mask 2 touches only the alpha.
    Animation c(3, {{"k", kActionNone, 0, 0, kChannelAlpha}});
    c.SetState(kStatePlaying);
    c.Tick(); // frame 0 applies every channel, then its key frame narrows them
    c.clip.SetPosition(7, 9);
    c.clip.SetFrame(5 << 8);
    c.clip.SetVisible(false);
    c.Ticks(2);
    EXPECT_EQ(
        std::make_tuple(int(c.clip.GetAlpha()), c.clip.GetX(), c.clip.GetY(), c.clip.GetFrame(), c.clip.IsVisible()),
        std::make_tuple(2, 7, 9, 5 << 8, false));
}

TEST(KeyFrameAnimatorTest, Commands) {
    Animation a(10, {{"a", kActionStop, 0, 2}, {"b", kActionWait, 5, 5}, {"c", kActionStop, 0, 8}});
    // Key frame 3 of 3 (alerts "...: Invalid Keyframe!"), target 3 ("...:: Invalid Keyframe!"), command 7.
    for (auto [command, p1, p2] :
         {std::tuple{1, 3, 0}, {2, 0, 3}, {3, 3, 50}, {3, -1, 50}, {7, 0, 0}})
        EXPECT_EQ(a.ExecuteCommand(command, p1, p2), 0) << command;

    // Command 2 backwards: the speed turns negative, actions come back at the target only.
    a.SetSpeedPercent(100);
    ASSERT_EQ(a.ExecuteCommand(2, 2, 0), 1);
    EXPECT_EQ(std::make_tuple(a.GetSpeed(), a.GetState()),
              std::make_tuple(-256, kStateStopped)); // it moves, it does not start
    a.SetState(kStatePlaying);
    EXPECT_EQ(a.Ticks(4), (Trace{"0:8:1792", "0:7:1536", "0:6:1280", "0:5:1024"})); // c, b skipped
    EXPECT_EQ(a.Ticks(4), (Trace{"0:4:768", "0:3:512", "1:2:-256", "1:2:-256"})); // a stops

    // Command 3 runs toward its target whatever sign it is given.
    a.SetFramePosition(0);
    EXPECT_EQ((std::pair{a.ExecuteCommand(3, 1, -50), a.GetSpeed()}), (std::pair{1, 128}));
    a.SetFramePosition(9);
    ASSERT_EQ(a.ExecuteCommand(3, 1, 50), 1);
    EXPECT_EQ(std::make_tuple(a.GetSpeed(), a.GetTargetKeyFrame()), std::make_tuple(-128, 1));

    ASSERT_EQ(a.ExecuteCommand(4, 2, 0), 1);
    EXPECT_EQ(std::make_tuple(a.GetState(), a.GetWaitCounter()), std::make_tuple(kStateWaiting, 2));
    EXPECT_EQ((std::pair{a.ExecuteCommand(6, 30, 0), a.GetSpeed()}), (std::pair{1, 76}));
    ASSERT_EQ(a.ExecuteCommand(5, 0, 0), 1);
    EXPECT_EQ(std::make_tuple(a.GetState(), a.GetMode(), a.IsStopped()), std::make_tuple(kStateStopped, 5, 0));

    // Command 1: the key frame is reported, the actions stay off until Stop().
    a.recorder.events.clear();
    ASSERT_EQ(a.ExecuteCommand(1, 1, 0), 1);
    EXPECT_EQ(a.recorder.events, Trace{"key b 1"});
    a.SetSpeedPercent(100);
    a.SetState(kStatePlaying);
    EXPECT_EQ(a.Tick(), "0:5:1536");

    // Command 2 to the key frame it is on carries out that key frame's action.
    Animation self(6, {{"x", kActionNone, 0, 0}, {"s", kActionStop, 0, 3}});
    ASSERT_EQ(self.ExecuteCommand(2, 1, 1), 1);
    self.SetState(kStatePlaying);
    EXPECT_EQ(self.Tick(), "1:3:256");
}

// What the frames put on the clip: the offset moves every position, the clip frame base moves
// every image number (and shows the base at once), a mirror key frame turns the clip; with the
// actions off the mirror waits.
TEST(KeyFrameAnimatorTest, OffsetFrameBaseAndMirrorReachTheClip)
{
    Animation a(4, {{"m", kActionSetMirror, 2, 1}, {"n", kActionSetMirror, 0, 3}});
    a.SetOffset(10, -3);
    a.SetClipFrame(7);
    EXPECT_EQ(a.clip.GetFrame(), 7 * 256);
    a.SetState(kStatePlaying);
    std::vector<std::tuple<int32_t, int32_t, int32_t, int>> seen;
    for (int i = 0; i < 4; ++i) {
        a.ApplyFrame();
        seen.emplace_back(a.clip.GetX(), a.clip.GetY(), a.clip.GetFrame() >> 8,
                          int(a.clip.GetOrientation()));
    }
    using Seen = std::vector<std::tuple<int32_t, int32_t, int32_t, int>>;
    EXPECT_EQ(seen, (Seen{{10, -3, 7, 0},
                          {256 + 10, -256 - 3, 8, 2},
                          {512 + 10, -512 - 3, 9, 2},
                          {768 + 10, -768 - 3, 10, 0}}));
    Animation quiet(3, {{"m", kActionSetMirror, 1, 1}});
    ASSERT_EQ(quiet.ExecuteCommand(1, 0, 0), 1); // command 1 leaves the actions off
    quiet.SetState(kStatePlaying);
    quiet.Ticks(2);
    EXPECT_EQ(quiet.clip.GetOrientation(), 0);
}

// ---- Packed image ----

std::unique_ptr<Animation> TwoKeysThreeHundredFrames() {
    return std::make_unique<Animation>(
        300, std::vector<Key>{{"start", kActionMoveToKeyFrame, 1, 10}, {"end", kActionWait, -7, 299}});
}

// Every stored field of a key frame and of a frame, as comparable values.
auto Fields(const GKeyFrame& k) {
    return std::make_tuple(std::string(k.label, 20), k.action, k.param1, k.param2, k.channelMask, k.frame, k.rotate,
                           k.scale);
}
auto Fields(const GAnimationFrame& f) { return std::make_tuple(f.image, f.x, f.y, f.alpha, f.keyFrame); }

TEST(KeyFrameAnimatorTest, PackedRoundTripsKeepEveryFieldAndRefusalsAndFailedSavesChangeNothing) {
    auto a = TwoKeysThreeHundredFrames();
    std::unique_ptr<uint8_t[]> image;
    uint32_t size = 0;
    ASSERT_EQ(a->SaveToMemory(&image, &size), 1);
    EXPECT_EQ(size, 3371u);
    GKeyFrameAnimator b;
    ASSERT_EQ(b.LoadFromMemory(image.get(), size), 1);
    ASSERT_EQ(b.GetKeyFrameCount(), 2u);
    ASSERT_EQ(b.GetFrameCount(), 300u);
    for (uint32_t i = 0; i < 2; ++i)
        EXPECT_EQ(Fields(*a->GetKeyFrame(i)), Fields(*b.GetKeyFrame(i))) << i;
    for (uint32_t i = 0; i < 300; ++i)
        EXPECT_EQ(Fields(*a->GetFrame(i)), Fields(*b.GetFrame(i))) << i;
    EXPECT_EQ(std::make_tuple(b.GetFrame(10)->keyFrame, b.GetFrame(299)->keyFrame, b.GetChannelMask()),
              std::make_tuple(int8_t(0), int8_t(1), uint8_t(255)));

    // Refusals leave the animator alone.
    Animation target(2, {});
    for (uint32_t cut : {0u, 2u, 3u, 70u, 71u, 3370u}) {
        // Exactly the bytes given: anything read past them shows under the sanitizers.
        std::vector<uint8_t> shortImage(image.get(), image.get() + cut);
        EXPECT_EQ(target.LoadFromMemory(shortImage.data(), cut), 0) << cut;
    }
    EXPECT_EQ(target.GetFrameCount(), 2u);
    image[3 + 22] = 2; // a jump to key frame 2 of 2
    EXPECT_EQ(target.LoadFromMemory(image.get(), size), 0);
    image[3 + 22] = 0xFF;
    image[3 + 23] = 0xFF; // -1: an unresolved jump is kept
    EXPECT_EQ(target.LoadFromMemory(image.get(), size), 1);
    EXPECT_EQ(target.GetKeyFrame(0)->param1, -1);

    GKeyFrameAnimator empty;
    empty.AddKeyFrame("k", 0, 0, 0, 0);
    EXPECT_EQ(empty.SaveToMemory(&image, &size), 0);
    EXPECT_TRUE(!image && size == 0);
    GKeyFrameAnimator tooMany;
    tooMany.AddInterpolation(0, 0, 0, 0, 0);
    for (int i = 0; i < 256; ++i)
        tooMany.AddKeyFrame("k", 5, 0, 0, 0);
    EXPECT_EQ(tooMany.SaveToMemory(&image, &size), 0);

    // Files are replaced whole or not at all.
    tolvanrise::test::TempFolder folder;
    const std::string name = folder.Path("anim.bin");
    ASSERT_EQ(a->SaveToFile(name.c_str()), 1);
    GKeyFrameAnimator loaded;
    ASSERT_EQ(loaded.LoadFromFile(name.c_str()), 1);
    EXPECT_EQ(loaded.GetFrameCount(), 300u);
    EXPECT_EQ(GKeyFrameAnimator().SaveToFile(name.c_str()), 0);
    ASSERT_EQ(loaded.LoadFromFile(name.c_str()), 1); // the old file is still whole
    EXPECT_EQ(loaded.LoadFromFile(folder.Path("missing").c_str()), 0);
    EXPECT_EQ(loaded.GetFrameCount(), 300u);
}

// ---- Command sequences ----

std::unique_ptr<GAnimatorCommandStep> Step(uint16_t seq, int32_t command, int32_t p1 = 0, int32_t p2 = 0) {
    auto s = std::make_unique<GAnimatorCommandStep>();
    s->sequence = seq, s->command = command, s->p1 = p1, s->p2 = p2;
    return s;
}

TEST(AnimatorCommandSequenceTest, RunsConsecutiveStepsOfOneNumberAndGroupsOwnAndRemoveMembers) {
    GAnimatorCommandSequence seq;
    auto owned = std::make_unique<Animation>(6, std::vector<Key>{{"a", 5, 0, 0}, {"b", 5, 0, 4}});
    Animation* anim = owned.get();
    anim->SetListener(&seq);
    seq.SetAnimator(std::move(owned));
    EXPECT_EQ(seq.AddStep(nullptr), 0);
    seq.AddStep(Step(1, 5));
    seq.AddStep(Step(1, 1, 9));   // invalid key frame: skipped at once
    seq.AddStep(Step(1, 6, 50));
    seq.AddStep(Step(2, 2, 0, 1)); // plays to key frame 1
    seq.AddStep(Step(2, 4, 3));
    seq.AddStep(Step(3, 6, 20));

    seq.Start(1);
    EXPECT_EQ(std::make_tuple(anim->GetMode(), anim->GetSpeed(), seq.GetCurrentStep(), seq.IsRunning()),
              std::make_tuple(6, 128, 2, 0));
    seq.Start(2);
    EXPECT_EQ(std::make_tuple(seq.IsRunning(), seq.GetTargetKeyFrame()), std::make_tuple(1, 1));
    anim->SetSpeedPercent(100);
    anim->SetState(kStatePlaying);
    for (int i = 0; i < 4; ++i)
        seq.Update();
    EXPECT_EQ(anim->GetMode(), 2);
    seq.Update(); // frame 4 reports key frame 1: the wait step follows
    EXPECT_EQ(std::make_tuple(anim->GetMode(), seq.GetCurrentStep()), std::make_tuple(4, 4));
    seq.Start(9);
    EXPECT_TRUE(seq.GetCurrentStep() == -1 && !seq.GetStep(6));

    GAnimatorCommandGroup group;
    EXPECT_EQ(group.Add(nullptr), 0);
    for (int i = 0; i < 3; ++i) {
        auto member = std::make_unique<GAnimatorCommandSequence>();
        member->SetAnimator(std::make_unique<Animation>(2, std::vector<Key>{}));
        member->AddStep(Step(4, 6, 10 * (i + 1)));
        ASSERT_EQ(group.Add(std::move(member)), 1);
    }
    group.StartAll(4);
    GAnimatorCommandSequence* middle = group.GetMember(1);
    EXPECT_EQ(group.RemoveAt(3), 0);
    EXPECT_TRUE(group.Remove(middle) && !group.Remove(middle) && group.RemoveAt(0));
    ASSERT_EQ(group.GetCount(), 1u);
    EXPECT_EQ(group.GetMember(0)->GetAnimator()->GetSpeed(), 76); // the third, 30 percent
}

} // namespace

// A step of command 3 runs until its animator reaches the key frame it names; a group hands
// every member's clip to a container and takes exactly those out again, and updates every
// member together.
TEST(AnimatorCommandSequenceTest, PlayToAKeyFrameAndGroupsOfClipsInAContainer)
{
    GAnimatorCommandSequence seq;
    auto owned = std::make_unique<Animation>(
        8, std::vector<Key>{{"a", 5, 0, 0}, {"b", 5, 0, 3}, {"c", 5, 0, 6}});
    Animation* anim = owned.get();
    anim->SetListener(&seq);
    seq.SetAnimator(std::move(owned));
    seq.AddStep(Step(1, 3, 2, 100)); // to key frame 2
    seq.AddStep(Step(1, 6, 50));
    seq.Start(1);
    EXPECT_EQ(std::make_tuple(seq.IsRunning(), seq.GetTargetKeyFrame(), seq.GetCurrentStep()),
              std::make_tuple(1, 2, 0));
    anim->SetState(kStatePlaying);
    for (int i = 0; i < 6; ++i)
        seq.Update();
    EXPECT_EQ(std::make_tuple(seq.IsRunning(), seq.GetCurrentStep()),
              std::make_tuple(1, 0)); // passed b, not c
    seq.Update();
    EXPECT_EQ(std::make_tuple(seq.IsRunning(), seq.GetCurrentStep(), anim->GetSpeed()),
              std::make_tuple(0, 1, 128));

    auto surface = GDibSurface::Create(8, 8, 24);
    auto clips = GClipArray::Create(8);
    auto container = GClipContainer::Create(surface.get(), nullptr, clips.get(), nullptr);
    GClip other;
    container->AddClip(&other);
    GAnimatorCommandGroup group;
    std::vector<GClip*> theirs;
    for (int i = 0; i < 3; ++i) {
        auto member = std::make_unique<GAnimatorCommandSequence>();
        if (i != 1) { // the middle member has no animator
            auto animation = std::make_unique<Animation>(3, std::vector<Key>{});
            animation->SetState(kStatePlaying);
            theirs.push_back(&animation->clip);
            member->SetAnimator(std::move(animation));
        }
        group.Add(std::move(member));
    }
    group.AddClipsTo(nullptr);
    group.AddClipsTo(container.get());
    ASSERT_EQ(clips->GetCount(), 3);
    EXPECT_TRUE(clips->GetAt(0) == &other && clips->GetAt(1) == theirs[0] &&
                clips->GetAt(2) == theirs[1]);
    group.UpdateAll();
    group.UpdateAll();
    EXPECT_EQ(std::make_tuple(theirs[0]->GetX(), theirs[1]->GetX()), std::make_tuple(256, 256));
    group.RemoveClipsFrom(nullptr);
    EXPECT_EQ(clips->GetCount(), 3);
    group.RemoveClipsFrom(container.get());
    EXPECT_TRUE(clips->GetCount() == 1 && clips->GetAt(0) == &other);
}

// ---- bitmap clips: turned, scaled and filtered drawing ----
namespace {

class Table : public GBitmapTable {
public:
    // A w x h image with a mask in slot 0, random bytes (masks mostly opaque, some edges soft).
    GBitmap* Put(int16_t w, int16_t h, uint32_t seed = 1) {
        m_image = GBitmap::Create(w, h, 0, 2);
        std::mt19937 rng(seed);
        for (int i = 0; m_image->GetPixels() && i < w * h * 3; ++i)
            m_image->GetPixels()[i] = uint8_t(rng());
        for (int i = 0; m_image->GetPixels() && i < w * h; ++i)
            m_image->GetAlpha()[i] = (rng() % 4 == 0) ? uint8_t(rng()) : 0;
        return m_image.get();
    }
    GBitmap* GetBitmap(int32_t slot) const override { return slot == 0 ? m_image.get() : nullptr; }
    int32_t GetSlotCount() const override { return 1; }

private:
    std::unique_ptr<GBitmap> m_image;
};

std::unique_ptr<GBitmap> Target(int16_t w, int16_t h, uint32_t seed) {
    std::unique_ptr<GBitmap> t(GBitmap::Create(w, h, 0, 0));
    std::mt19937 rng(seed);
    std::generate_n(t->GetPixels(), w * h * 3, [&] { return uint8_t(rng()); });
    return t;
}

struct ClipFixture {
    Table table;
    GBitmapClip clip;
    ClipFixture(int16_t w, int16_t h) {
        table.Put(w, h);
        clip.SetResources(&table), clip.SetVisible(true), clip.SetPosition(100 << 8, 80 << 8);
    }
    void Transform(int32_t angle, int32_t scale, int32_t sx = 256, int32_t sy = 256) {
        clip.SetAngle(angle), clip.SetScale(scale), clip.SetScaleX(sx), clip.SetScaleY(sy);
        clip.Update();
    }
};

TEST(BitmapClipTest, DocumentedBoundsAndRectanglesAndTheExactBoxAtEveryAngle) {
    ClipFixture f(100, 60);
    f.clip.SetPosition(400 << 8, 300 << 8);
    f.Transform(0, 256);
    EXPECT_EQ(f.clip.GetBounds(), (GRect{0, 0, 100, 60}));
    EXPECT_EQ(f.clip.GetRect(), (GRect{350, 270, 448, 328}));
    f.clip.SetBuffered(true);
    f.Transform(0, 512);
    EXPECT_EQ(f.clip.GetBounds(), (GRect{-50, -30, 150, 90}));
    ASSERT_NE(f.clip.GetBuffer(), nullptr);
    EXPECT_EQ(f.clip.GetBuffer()->GetWidth(), 235);
    f.Transform(-30, 256);
    EXPECT_EQ(f.clip.GetAngle(), 330);
    f.Transform(725, 256);
    EXPECT_EQ(f.clip.GetAngle(), 5);

    // Every angle and several scales: the box is within a pixel of the exact turned box, the
    // rectangle centred on the position, and a buffer holds the whole picture.
    ClipFixture g(37, 20);
    g.clip.SetBuffered(true);
    const int32_t scales[][3] = {{256, 256, 256}, {512, 256, 256}, {128, 256, 256},
                                 {256, 512, 128}, {300, 100, 700}};
    for (const auto& s : scales)
        for (int angle = 0; angle < 360; ++angle) {
            g.Transform(angle, s[0], s[1], s[2]);
            const GRect& b = g.clip.GetBounds();
            const double rad = angle * M_PI / 180.0, k = s[0] / 256.0;
            const double sx = s[1] / 256.0 * k, sy = s[2] / 256.0 * k;
            double lo = 1e9, hi = -1e9, top = 1e9, bottom = -1e9;
            for (double u : {-18.0, 19.0})
                for (double v : {-10.0, 10.0}) {
                    const double x = std::cos(rad) * sx * u - std::sin(rad) * sy * v + 18;
                    const double y = std::sin(rad) * sx * u + std::cos(rad) * sy * v + 10;
                    lo = std::min(lo, x), hi = std::max(hi, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            EXPECT_LE(std::max({std::abs(b.left - lo), std::abs(b.right - hi), std::abs(b.top - top),
                                std::abs(b.bottom - bottom)}), 2.01) << angle << " " << s[0];
            const int bw = b.right - b.left, bh = b.bottom - b.top;
            const GRect& r = g.clip.GetRect();
            EXPECT_EQ((std::tuple(r.left, r.top, r.right)),
                      (std::tuple(100 - bw / 2, 80 - bh / 2, std::max<int>(r.left, r.left + bw - 2))));
            ASSERT_NE(g.clip.GetBuffer(), nullptr);
            EXPECT_TRUE(g.clip.GetBuffer()->GetWidth() >= bw && g.clip.GetBuffer()->GetHeight() >= bh);
        }
}

// The float reference of the same mapping: the source position from the clip's own 16.16
// coefficients, the filtering and blending in floating point.
struct Reference {
    const GBitmapClip& clip;
    const GBitmap& src;
    // False outside the source; else colour and mask at box position (bx, by).
    bool Sample(int bx, int by, double c[3], double& m) const {
        const int64_t X = bx - clip.GetHalfWidth(), Y = by - clip.GetHalfHeight();
        const int64_t u = clip.GetMapA() * X - clip.GetMapC() * Y;
        const int64_t v = clip.GetMapD() * X + clip.GetMapB() * Y;
        const int64_t sx = (u >> 16) + clip.GetHalfWidth(), sy = (v >> 16) + clip.GetHalfHeight();
        if (sx < 0 || sy < 0 || sx >= src.GetWidth() - 1 || sy >= src.GetHeight() - 1)
            return false;
        const double fx = ((u >> 8) & 255) / 256.0, fy = ((v >> 8) & 255) / 256.0;
        const int w = src.GetWidth();
        const auto mix = [&](auto at) {
            return (1 - fy) * ((1 - fx) * at(sx, sy) + fx * at(sx + 1, sy)) +
                   fy * ((1 - fx) * at(sx, sy + 1) + fx * at(sx + 1, sy + 1));
        };
        for (int k = 0; k < 3; ++k)
            c[k] = mix([&](int64_t x, int64_t y) { return double(src.GetPixels()[(y * w + x) * 3 + k]); });
        m = mix([&](int64_t x, int64_t y) { return double(src.GetAlpha()[y * w + x]); });
        return true;
    }
};

TEST(BitmapClipTest, DirectAndBufferedDrawsMatchTheFloatReference) {
    const int32_t transforms[][4] = {{30, 256, 256, 256}, {137, 512, 256, 256}, {200, 180, 256, 256},
                                     {275, 256, 400, 160}, {0, 300, 256, 256},  {90, 256, 256, 256}};
    // Inside the target, and straddling its bottom-right corner under a clip area beyond it.
    struct Placement {
        int32_t x, y;
        GRect clipRect;
        bool additive;
    };
    const GRect inside{60, 50, 150, 115}, beyond{150, 120, 400, 400};
    const Placement placements[] = {
        {100, 80, inside, false}, {100, 80, inside, true}, {190, 150, beyond, false}, {190, 150, beyond, true}};
    int worstDirect = 0, worstBuffer = 0;
    for (const auto& [x0, y0, clipRect, additive] : placements) {
        for (const auto& t : transforms) {
            ClipFixture f(41, 29);
            f.clip.SetPosition(x0 << 8, y0 << 8);
            f.clip.SetAdditive(additive);
            f.clip.SetAlpha(200);
            f.clip.SetBuffered(true);
            f.Transform(t[0], t[1], t[2], t[3]);
            const GBitmap& src = *f.table.GetBitmap(0);
            const GBitmap* buffer = f.clip.GetBuffer();
            ASSERT_NE(buffer, nullptr);
            const Reference ref{f.clip, src};
            const GRect& b = f.clip.GetBounds();
            // The buffer holds the filtered picture, transparent outside the source.
            for (int j = 0; j < b.bottom - b.top; ++j)
                for (int i = 0; i < b.right - b.left; ++i) {
                    double c[3], m;
                    const uint8_t* p = buffer->GetPixels() + (j * buffer->GetWidth() + i) * 3;
                    const uint8_t bm = buffer->GetAlpha()[j * buffer->GetWidth() + i];
                    if (!ref.Sample(b.left + i, b.top + j, c, m)) {
                        ASSERT_EQ(bm, 255);
                        continue;
                    }
                    for (int k = 0; k < 3; ++k)
                        worstBuffer = std::max(worstBuffer, int(std::abs(p[k] - std::floor(c[k]))));
                    worstBuffer = std::max(worstBuffer, int(std::abs(bm - std::floor(m))));
                }
            // The direct draw: only the clip's rectangle inside the clip area changes.
            f.clip.SetBuffered(false);
            auto target = Target(200, 160, 7), before = Target(200, 160, 7);
            f.clip.Draw(target.get(), &clipRect);
            GRect part;
            const bool overlaps = IntersectRects(part, f.clip.GetRect(), clipRect);
            for (int y = 0; y < 160; ++y)
                for (int x = 0; x < 200; ++x) {
                    const uint8_t* d = target->GetPixels() + (y * 200 + x) * 3;
                    const uint8_t* o = before->GetPixels() + (y * 200 + x) * 3;
                    double c[3], m;
                    const bool inside = overlaps && x >= part.left && x <= part.right &&
                                        y >= part.top && y <= part.bottom;
                    if (!inside || !ref.Sample(b.left + x - f.clip.GetRect().left,
                                               b.top + y - f.clip.GetRect().top, c, m)) {
                        ASSERT_EQ(std::memcmp(d, o, 3), 0) << x << "," << y;
                        continue;
                    }
                    const double k = (255 - m) * 200 / 65536.0;
                    for (int ch = 0; ch < 3; ++ch) {
                        const double want = additive ? std::min(255.0, o[ch] + c[ch] * k)
                                                     : o[ch] + (c[ch] - o[ch]) * k;
                        worstDirect = std::max(worstDirect, int(std::abs(d[ch] - std::floor(want))));
                    }
                }
        }
    }
    // Every integer step floors: the filtered sample sits at most one below the floored exact
    // value, and the blend onto the target floors once more.
    EXPECT_TRUE(worstBuffer <= 1 && worstDirect <= 2) << worstBuffer << " " << worstDirect;
}

TEST(BitmapClipTest, BufferLifecycle) {
    ClipFixture f(16, 16);
    f.clip.SetBuffered(true);
    f.Transform(45, 256);
    const GBitmap* first = f.clip.GetBuffer();
    ASSERT_NE(first, nullptr);
    std::vector<uint8_t> bilinear(first->GetPixels(), first->GetPixels() + 3 * first->GetWidth() * first->GetHeight());
    f.clip.CommitPrevious(); // as the flush does after drawing
    f.clip.SetX(f.clip.GetX() + 256 * 5); // moving re-renders nothing
    f.clip.Update();
    EXPECT_EQ(f.clip.GetBuffer(), first);
    f.clip.SetCubic(true);
    f.clip.Update();
    ASSERT_NE(f.clip.GetBuffer(), nullptr);
    EXPECT_NE(std::memcmp(f.clip.GetBuffer()->GetPixels(), bilinear.data(), bilinear.size()), 0);
    f.Transform(45, 300); // grows past the buffer scale: a new, larger buffer
    EXPECT_EQ(f.clip.GetBufferScale(), 300);
    f.Transform(45, 256, 256, 2048); // stretched beyond the diagonal: the box decides
    EXPECT_GE(f.clip.GetBuffer()->GetHeight(), f.clip.GetBounds().bottom - f.clip.GetBounds().top);
}

// A buffered clip draws its buffer at its rectangle with the mask kernels, inside the clip
// area only: whole-pixel and sub-pixel positions blend as those kernels do, the additive one
// only brightens.
TEST(BitmapClipTest, BufferedDrawsBlitTheBufferInsideTheArea)
{
    const GRect area{70, 60, 120, 100};
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        ClipFixture f(30, 22);
        f.clip.SetBuffered(true), f.clip.SetAlpha(180), f.clip.SetAdditive(way == 2),
            f.clip.SetSubPixel(way == 1);
        f.clip.SetPosition((100 << 8) + (way == 1 ? 77 : 0), (80 << 8) + (way == 1 ? 141 : 0));
        f.Transform(33, 300);
        const GBitmap* buffer = f.clip.GetBuffer();
        ASSERT_NE(buffer, nullptr);
        auto target = Target(200, 160, 9), before = Target(200, 160, 9),
             expected = Target(200, 160, 9);
        f.clip.Draw(target.get(), &area);
        const GRect& r = f.clip.GetRect();
        GRect part;
        ASSERT_TRUE(IntersectRects(part, r, area));
        if (way < 2) {
            const GBlitArgs args{180, nullptr, int16_t(f.clip.GetX() & 255),
                                 int16_t(f.clip.GetY() & 255)};
            reference::Blit(way == 1 ? GBlitRule::MaskAlphaSubPixel : GBlitRule::MaskAlpha, 0,
                            expected.get(), buffer, r.left, r.top, args, &part);
            EXPECT_EQ(reference::Snapshot(*target), reference::Snapshot(*expected));
        }
        int changed = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 200; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int d = reference::PixelAt(*target, x, y)[c],
                              o = reference::PixelAt(*before, x, y)[c];
                    const bool inside =
                        x >= part.left && x <= part.right && y >= part.top && y <= part.bottom;
                    ASSERT_TRUE(inside || d == o) << x << "," << y;
                    ASSERT_TRUE(way != 2 || d >= o) << x << "," << y;
                    changed += d != o;
                }
        EXPECT_GT(changed, 100);
    }
}

TEST(BitmapClipTest, DegenerateInputsDrawNothing) {
    auto target = Target(64, 64, 3), before = Target(64, 64, 3);
    const auto unchanged = [&] {
        return std::memcmp(target->GetPixels(), before->GetPixels(), 64 * 64 * 3) == 0;
    };
    const int32_t scales[][3] = {{0, 256, 256}, {256, 0, 256}, {256, 256, -5}, {70000, 256, 256}};
    for (const auto& s : scales)
        for (bool buffered : {false, true}) {
            ClipFixture f(20, 20);
            f.clip.SetPosition(32 << 8, 32 << 8);
            f.clip.SetBuffered(buffered);
            f.Transform(40, s[0], s[1], s[2]);
            f.clip.Draw(target.get(), nullptr);
            EXPECT_TRUE(unchanged()) << s[0] << " " << s[1] << " " << s[2];
        }
    // One-pixel images have no 2 x 2 neighbourhood; a missing slot has no image at all.
    for (int16_t side : {0, 1}) {
        ClipFixture f(side, side);
        f.clip.SetPosition(32 << 8, 32 << 8);
        f.Transform(10, 256);
        f.clip.Draw(target.get(), nullptr);
        f.clip.SetFrame(5 << 8);
        f.Transform(20, 256);
        f.clip.Draw(target.get(), nullptr);
        EXPECT_TRUE(unchanged());
    }
    // The smallest and largest scales map within range and stay inside the target.
    ClipFixture f(20, 20);
    f.clip.SetPosition(32 << 8, 32 << 8);
    f.Transform(10, kMaxClipScale);
    f.clip.Draw(target.get(), nullptr);
    f.Transform(10, kMinClipScale, kMinClipScale, kMinClipScale);
    f.clip.Draw(target.get(), nullptr);
}

TEST(BitmapClipTest, UnturnedPictureUsesThePlainKernels) {
    ClipFixture f(8, 6);
    f.clip.SetPosition(10 << 8, 10 << 8);
    f.Transform(0, 256, 128, 256);
    EXPECT_EQ(f.clip.GetBounds(), (GRect{2, 0, 6, 6})); // the box shrinks...
    auto target = Target(32, 32, 5);
    GBitmap* image = const_cast<GBitmap*>(f.table.GetBitmap(0));
    std::memset(image->GetAlpha(), 0, 8 * 6);
    f.clip.SetAlpha(255);
    f.clip.Draw(target.get(), nullptr);
    const GRect& r = f.clip.GetRect();
    // ...but the picture is drawn unscaled from the rectangle's corner.
    const uint8_t* d = target->GetPixels() + (r.top * 32 + r.left + 1) * 3;
    const uint8_t* s = image->GetPixels() + 3;
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(d[k], s[k], 1);

    // A sub-pixel clip half a pixel right of a whole one: over a ramp of 20 * x + 10, every
    // drawn pixel lies halfway between two source pixels, at a multiple of 20.
    ClipFixture g(8, 6);
    g.clip.SetSubPixel(true), g.clip.SetAlpha(255), g.clip.SetPosition((10 << 8) + 128, 10 << 8);
    g.Transform(0, 256);
    GBitmap* ramp = const_cast<GBitmap*>(g.table.GetBitmap(0));
    std::memset(ramp->GetAlpha(), 0, 8 * 6);
    for (int i = 0; i < 8 * 6; ++i)
        std::memset(ramp->GetPixels() + i * 3, 20 * (i % 8) + 10, 3);
    auto black = Target(32, 32, 5);
    std::memset(black->GetPixels(), 0, 32 * 32 * 3);
    g.clip.Draw(black.get(), nullptr);
    int drawn = 0;
    for (int x = 0; x < 32; ++x)
        if (const int v = black->GetPixels()[(9 * 32 + x) * 3]; v != 0) {
            ++drawn;
            EXPECT_LE(std::abs(v - (v + 10) / 20 * 20), 1) << x << ": " << v;
        }
    EXPECT_GE(drawn, 5);
}

// A redraw of dirty rectangles draws a still clip piece by piece: pieces of any size, in any
// orientation, whole or sub-pixel, must give exactly the pixels of one whole draw.
TEST(BitmapClipTest, AStillPictureDrawnPieceByPieceMatchesItsWholeDraw) {
    for (const int piece : {1, 3, 7, 16})
        for (uint8_t orientation = 0; orientation < 4; ++orientation)
            for (const bool subPixel : {false, true}) {
                ClipFixture f(23, 17);
                f.clip.SetOrientation(orientation), f.clip.SetSubPixel(subPixel), f.clip.SetAlpha(200);
                f.clip.SetPosition((20 << 8) + (subPixel ? 77 : 0), (18 << 8) + (subPixel ? 150 : 0));
                f.Transform(0, 256);
                auto whole = Target(48, 40, 9);
                auto pieces = Target(48, 40, 9);
                f.clip.Draw(whole.get(), nullptr);
                for (int16_t y = 0; y < 40; y = int16_t(y + piece))
                    for (int16_t x = 0; x < 48; x = int16_t(x + piece)) {
                        const GRect area{x, y, int16_t(x + piece - 1), int16_t(y + piece - 1)};
                        f.clip.Draw(pieces.get(), &area);
                    }
                EXPECT_EQ(std::memcmp(whole->GetPixels(), pieces->GetPixels(), 48 * 40 * 3), 0)
                    << "pieces of " << piece << ", orientation " << int(orientation) << ", sub-pixel " << subPixel;
            }
}

TEST(BitmapClipTest, AdditiveBlitSaturatesAndKeepsToTheClip) {
    std::unique_ptr<GBitmap> src(GBitmap::Create(4, 4, 0, 2));
    std::memset(src->GetPixels(), 200, 4 * 4 * 3);
    std::memset(src->GetAlpha(), 0, 16);
    src->GetAlpha()[5] = 255;
    auto target = Target(8, 8, 9), before = Target(8, 8, 9);
    const GRect clip{-3, 3, 4, 20};
    BlitMaskAdd(target.get(), src.get(), 2, 2, 255, &clip);
    for (int i = 0; i < 8 * 8 * 3; ++i) {
        const int x = i / 3 % 8, y = i / 24, o = before->GetPixels()[i];
        const bool drawn = x >= 2 && x <= 4 && y >= 3 && y <= 5 && !(x == 3 && y == 3);
        EXPECT_EQ(target->GetPixels()[i], drawn ? std::min(255, o + (200 * 255 * 255 >> 16)) : o) << x << "," << y;
    }
}

TEST(BitmapClipTest, SharpenAndAreaResize) {
    std::unique_ptr<GBitmap> flat(GBitmap::Create(6, 6, 0, 0));
    std::memset(flat->GetPixels(), 100, 6 * 6 * 3);
    flat->GetPixels()[(3 * 6 + 3) * 3] = 200;
    ASSERT_TRUE(SharpenImage(flat.get()));
    const auto at = [&](int x, int y) { return int(flat->GetPixels()[(y * 6 + x) * 3]); };
    // (3, 3) clamped; the first two columns and the last row are kept.
    EXPECT_EQ((std::vector<int>{at(3, 3), at(2, 3), at(2, 2), at(1, 3), at(3, 5)}),
              (std::vector<int>{255, (2048 * 100 - 246 * 500 - 9 * 400) >> 10,
                                (2048 * 100 - 246 * 400 - 9 * 500) >> 10, 100, 100}));

    std::unique_ptr<GBitmap> src(GBitmap::Create(4, 2, 0, 0));
    const uint8_t values[8] = {0, 40, 80, 120, 10, 50, 90, 130};
    for (int i = 0; i < 8; ++i)
        std::memset(src->GetPixels() + i * 3, values[i], 3);
    std::unique_ptr<GBitmap> half(GBitmap::Create(2, 1, 0, 0));
    ASSERT_TRUE(ResizeAreaAverage(src.get(), half.get()));
    EXPECT_EQ((std::pair(half->GetPixels()[0], half->GetPixels()[3])), (std::pair<uint8_t, uint8_t>(25, 105)));
    std::unique_ptr<GBitmap> twice(GBitmap::Create(8, 4, 0, 0));
    ASSERT_TRUE(ResizeAreaAverage(src.get(), twice.get()));
    EXPECT_EQ(twice->GetPixels()[(3 * 8 + 7) * 3], 130);
    EXPECT_FALSE(ResizeAreaAverage(src.get(), nullptr));
    // The weighted mean of this 3 x 7 picture is 92.49999994: just below a half, it rounds down.
    const uint8_t rows[7][3] = {{52, 234, 156}, {72, 91, 23}, {161, 18, 34}, {36, 4, 227},
                                {99, 16, 126},  {12, 12, 79}, {236, 65, 189}};
    std::unique_ptr<GBitmap> tall(GBitmap::Create(3, 7, 0, 0)), one(GBitmap::Create(1, 1, 0, 0));
    for (int i = 0; i < 3 * 7; ++i)
        std::memset(tall->GetPixels() + i * 3, rows[i / 3][i % 3], 3);
    ASSERT_TRUE(ResizeAreaAverage(tall.get(), one.get()));
    EXPECT_EQ(std::vector<int>(one->GetPixels(), one->GetPixels() + 3), std::vector<int>(3, 92));

    // The back buffer keeps its own memory: refused while unlocked, else treated as any image.
    std::unique_ptr<GDibSurface> screen = GDibSurface::Create(8, 4, 24);
    ASSERT_TRUE(screen && !screen->GetPixelBlock());
    EXPECT_FALSE(ResizeAreaAverage(src.get(), screen.get()) || ResizeAreaAverage(screen.get(), half.get()) ||
                 SharpenImage(screen.get()));
    ASSERT_NE(screen->Lock(), nullptr);
    const auto same = [&] {
        for (int y = 0; y < 4; ++y)
            if (std::memcmp(screen->GetPixels() + y * screen->GetPitch(), twice->GetPixels() + y * 8 * 3, 8 * 3))
                return false;
        return true;
    };
    EXPECT_TRUE(ResizeAreaAverage(src.get(), screen.get()) && same());
    EXPECT_TRUE(SharpenImage(screen.get()) && SharpenImage(twice.get()) && same());
    screen->Unlock();
}

} // namespace
