#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/animation/animator_command_sequence.h"
#include "graphics/animation/keyframe_animator.h"
#include "graphics/scene/clip.h"
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

TEST(KeyFrameAnimatorTest, TickTables) {
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
}

TEST(KeyFrameAnimatorTest, StopThenReplayStartsFromSpeed) {
    Animation a(4, {{"s", kActionStop, 0, 0}});
    a.SetState(kStatePlaying);
    a.Ticks(1);
    EXPECT_EQ(a.GetCurrentKeyFrame(), -1);
    a.SetState(kStatePlaying);
    EXPECT_EQ(a.Tick(), "0:1:512"); // frame 1 again: position was the speed
    EXPECT_EQ(a.recorder.events, (Trace{"state0", "key s 0", "state1", "state0"}));
}

TEST(KeyFrameAnimatorTest, SpeedPercentAndStatesAndLabels) {
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
    b.MoveToKeyFrameIndex(2); // past the end: nothing
    EXPECT_EQ(b.GetCurrentKeyFrame(), 1);
    b.SetState(kStateStopped);
    b.SetState(kStateStopped);
    EXPECT_EQ(b.IsAtKeyFrame("stNormal"), 0);
    EXPECT_EQ(b.recorder.events, (Trace{"state1", "state1"}));
}

TEST(KeyFrameAnimatorTest, ChannelMaskTwoTouchesOnlyAlpha) {
    Animation a(3, {{"k", kActionNone, 0, 0, kChannelAlpha}});
    a.SetState(kStatePlaying);
    a.Tick(); // frame 0 applies every channel, then its key frame narrows them
    a.clip.SetPosition(7, 9);
    a.clip.SetFrame(5 << 8);
    a.clip.SetVisible(false);
    a.Ticks(2);
    EXPECT_EQ(
        std::make_tuple(int(a.clip.GetAlpha()), a.clip.GetX(), a.clip.GetY(), a.clip.GetFrame(), a.clip.IsVisible()),
        std::make_tuple(2, 7, 9, 5 << 8, false));
}

TEST(KeyFrameAnimatorTest, Commands) {
    Animation a(10, {{"a", kActionStop, 0, 2}, {"b", kActionWait, 5, 5}, {"c", kActionStop, 0, 8}});
    // Key frame 3 of 3 (alerts "...: Invalid Keyframe!"), target 3 ("...:: Invalid Keyframe!"), command 7.
    for (auto [command, p1, p2] : {std::tuple{1, 3, 0}, {2, 0, 3}, {7, 0, 0}})
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
    ASSERT_EQ(a.ExecuteCommand(3, 1, -50), 1);
    EXPECT_EQ(a.GetSpeed(), 128);
    a.SetFramePosition(9);
    ASSERT_EQ(a.ExecuteCommand(3, 1, 50), 1);
    EXPECT_EQ(std::make_tuple(a.GetSpeed(), a.GetTargetKeyFrame()), std::make_tuple(-128, 1));

    ASSERT_EQ(a.ExecuteCommand(4, 2, 0), 1);
    EXPECT_EQ(std::make_tuple(a.GetState(), a.GetWaitCounter()), std::make_tuple(kStateWaiting, 2));
    ASSERT_EQ(a.ExecuteCommand(6, 30, 0), 1);
    EXPECT_EQ(a.GetSpeed(), 76);
    ASSERT_EQ(a.ExecuteCommand(5, 0, 0), 1);
    EXPECT_EQ(std::make_tuple(a.GetState(), a.GetMode(), a.IsStopped()), std::make_tuple(kStateStopped, 5, 0));

    // Command 1: the key frame is reported, the actions stay off until Stop().
    a.recorder.events.clear();
    ASSERT_EQ(a.ExecuteCommand(1, 1, 0), 1);
    EXPECT_EQ(a.recorder.events, Trace{"key b 1"});
    a.SetSpeedPercent(100);
    a.SetState(kStatePlaying);
    EXPECT_EQ(a.Tick(), "0:5:1536");
}

TEST(KeyFrameAnimatorTest, CommandTwoToItselfCarriesOutTheTargetAction) {
    Animation a(6, {{"x", kActionNone, 0, 0}, {"s", kActionStop, 0, 3}});
    ASSERT_EQ(a.ExecuteCommand(2, 1, 1), 1);
    a.SetState(kStatePlaying);
    EXPECT_EQ(a.Tick(), "1:3:256");
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

TEST(KeyFrameAnimatorTest, PackedRoundTripKeepsEveryField) {
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
}

TEST(KeyFrameAnimatorTest, PackedImageRefusalsLeaveTheAnimatorAlone) {
    auto a = TwoKeysThreeHundredFrames();
    std::unique_ptr<uint8_t[]> image;
    uint32_t size = 0;
    ASSERT_EQ(a->SaveToMemory(&image, &size), 1);
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
}

TEST(KeyFrameAnimatorTest, FilesReplaceWholeOrNotAtAll) {
    tolvanrise::test::TempFolder folder;
    const std::string name = folder.Path("anim.bin");
    auto a = TwoKeysThreeHundredFrames();
    ASSERT_EQ(a->SaveToFile(name.c_str()), 1);
    GKeyFrameAnimator b;
    ASSERT_EQ(b.LoadFromFile(name.c_str()), 1);
    EXPECT_EQ(b.GetFrameCount(), 300u);
    EXPECT_EQ(GKeyFrameAnimator().SaveToFile(name.c_str()), 0);
    ASSERT_EQ(b.LoadFromFile(name.c_str()), 1); // the old file is still whole
    EXPECT_EQ(b.LoadFromFile(folder.Path("missing").c_str()), 0);
    EXPECT_EQ(b.GetFrameCount(), 300u);
}

// ---- Command sequences ----

std::unique_ptr<GAnimatorCommandStep> Step(uint16_t seq, int32_t command, int32_t p1 = 0, int32_t p2 = 0) {
    auto s = std::make_unique<GAnimatorCommandStep>();
    s->sequence = seq, s->command = command, s->p1 = p1, s->p2 = p2;
    return s;
}

TEST(AnimatorCommandSequenceTest, RunsConsecutiveStepsOfOneNumber) {
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
}

TEST(AnimatorCommandSequenceTest, GroupOwnsAndRemovesMembers) {
    GAnimatorCommandGroup group;
    EXPECT_EQ(group.Add(nullptr), 0);
    for (int i = 0; i < 3; ++i) {
        auto seq = std::make_unique<GAnimatorCommandSequence>();
        seq->SetAnimator(std::make_unique<Animation>(2, std::vector<Key>{}));
        seq->AddStep(Step(4, 6, 10 * (i + 1)));
        ASSERT_EQ(group.Add(std::move(seq)), 1);
    }
    group.StartAll(4);
    GAnimatorCommandSequence* middle = group.GetMember(1);
    EXPECT_EQ(group.RemoveAt(3), 0);
    EXPECT_TRUE(group.Remove(middle) && !group.Remove(middle) && group.RemoveAt(0));
    ASSERT_EQ(group.GetCount(), 1u);
    EXPECT_EQ(group.GetMember(0)->GetAnimator()->GetSpeed(), 76); // the third, 30 percent
}

} // namespace
