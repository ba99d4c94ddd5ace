#include <gtest/gtest.h>

#include "graphics/scene/clip.h"
#include "gui/ani_static_label_animator.h"

namespace {

// Only the end key frames of its own animator clear the busy flag.
TEST(AniStaticLabelAnimatorTest, StateEndKeyFramesClearBusy) {
    GAniStaticLabelAnimator label;
    GLabelKeyFrameAnimator& anim = label.GetAnimator();
    EXPECT_EQ(anim.GetListener(), &label.GetListener());
    GClip clip;
    anim.SetClip(&clip);
    for (const char* name : {"stAppear", "stAppearEnd", "stNormalEnd2", "stDissabledEnd",
                             "stDisappearEnd", "stNormalEnd", "stEnabledEnd"})
        anim.AddKeyFrame(name, kActionNone, 0, 0, 255);
    const struct {
        int index;
        bool busyAfter;
    } steps[] = {{0, true}, {2, true}, {1, false}, {3, false}, {4, false}, {5, false}, {6, false}};
    for (const auto& s : steps) {
        label.SetBusy(true);
        anim.ExecuteCommand(1, s.index, 0);
        EXPECT_EQ(label.IsBusy(), s.busyAfter) << s.index;
    }
    GLabelKeyFrameAnimator other;
    label.SetBusy(true);
    label.GetListener().OnKeyFrame(&other, anim.GetKeyFrame(1), 1);
    label.GetListener().OnKeyFrame(&anim, nullptr, 1);
    EXPECT_TRUE(label.IsBusy());
}

} // namespace
