// The board's pictures as the data folder ships them, and a target cell's glow: the data
// folder's target_glow.cfg played tick by tick against the built store, as a board view plays
// it on a picture clip.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/image/bitmap.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/animation/cfg_keyframe_animator.h"
#include "graphics/store/graphics_resources.h"
#include "support/game_data_folder.h"

namespace {

using tolvanrise::test::GameDataFolder;

// A pixel of a picture and whether the board beneath shows through it there.
struct Probe {
    int x, y;
    bool seeThrough;
};

struct PictureRun {
    const char* name; // of the first picture; a run's pictures are NAME_0, NAME_1, ...
    int count;        // 1: a single picture called name
    int width, height;
    bool opaque; // no pixel lets the board show through
    std::vector<Probe> probes;
};

class TargetGlowTest : public ::testing::Test {
protected:
    static constexpr int32_t kX = FixedFromInt(300);
    static constexpr int32_t kY = FixedFromInt(138);

    void SetUp() override
    {
        store = GGraphicsResources::Create("800x600", 100, 0);
        ASSERT_NE(store, nullptr);
        first = store->FindBitmap("TARGET_0");
        ASSERT_GE(first, 0);
    }

    void Load()
    {
        GCfgNode file;
        ASSERT_EQ(file.LoadFile("target_glow.cfg"), 1);
        ASSERT_EQ(animator.LoadAndCheck(GCfgObjectCursor(file.FindObjectList("TargetGlow"), 0),
                                        store.get()),
                  1);
        clip.SetResources(store.get());
        animator.SetClip(&clip);
        animator.SetOffset(kX, kY);
        animator.SetState(kStatePlaying);
    }

    // The target picture on show, counted from TARGET_0. A target stays in its cell, whole.
    int Shown()
    {
        EXPECT_TRUE(clip.IsVisible() && clip.GetAlpha() == 255);
        EXPECT_TRUE(clip.GetX() == kX && clip.GetY() == kY);
        return clip.GetFrame() / 256 - first;
    }
    int Tick()
    {
        animator.ApplyFrame();
        return Shown();
    }

    GameDataFolder data;
    std::unique_ptr<GGraphicsResources> store;
    int16_t first = -1;
    GLabelKeyFrameAnimator animator;
    GBitmapClip clip;
};

TEST_F(TargetGlowTest, BoardPicturesAreMaskedAndNumberedRunsFillConsecutiveSlots)
{
    const std::vector<PictureRun> runs = {
        {"CELL_FLOOR", 1, 36, 36, true, {}},
        {"CELL_WALL", 1, 36, 36, true, {}},
        {"CELL_REPAINT", 4, 36, 36, true, {}},
        {"TARGET", 15, 36, 36, true, {}},
        {"CUBE", 4, 32, 32, false, {{0, 0, true}, {31, 31, true}, {16, 16, false}}},
        {"GUN", 4, 36, 36, false, {{0, 0, true}, {35, 0, true}, {18, 18, false}}},
        {"AIM_MARK", 1, 36, 36, false, {{18, 18, true}, {3, 3, false}}},
        {"BONUS_FIRE", 4, 28, 28, false, {{0, 0, true}, {14, 20, false}}},
    };
    for (const PictureRun& run : runs) {
        const std::string base = run.name;
        const int16_t slot = store->FindBitmap((run.count == 1 ? base : base + "_0").c_str());
        ASSERT_GE(slot, 0) << base;
        for (int i = 0; i < run.count; ++i) {
            const GBitmap* picture = store->GetBitmap(int16_t(slot + i));
            ASSERT_NE(picture, nullptr) << base << " " << i;
            const std::string name = run.count == 1 ? base : base + "_" + std::to_string(i);
            EXPECT_EQ(picture->GetName(), name);
            // The board draws its pictures with GBitmapClip, which takes only masked 24-bit ones.
            ASSERT_TRUE(picture->GetFormat() == dmAlphaMask && picture->GetAlpha()) << name;
            ASSERT_EQ(picture->GetWidth(), run.width) << name;
            ASSERT_EQ(picture->GetHeight(), run.height) << name;
            const uint8_t* mask = picture->GetAlpha();
            if (run.opaque) {
                for (int p = 0; p < run.width * run.height; ++p)
                    ASSERT_EQ(mask[p], 0) << name << " pixel " << p;
            }
            for (const Probe& probe : run.probes)
                EXPECT_EQ(mask[probe.y * run.width + probe.x] == 255, probe.seeThrough)
                    << name << " at " << probe.x << "," << probe.y;
        }
    }
    const int16_t background = store->FindBitmap("GAME_BG");
    ASSERT_GE(background, 0);
    EXPECT_EQ(store->GetBitmap(background)->GetWidth(), 800);
    EXPECT_EQ(store->GetBitmap(background)->GetHeight(), 600);
}

TEST_F(TargetGlowTest, AWaitingTargetPulsesThroughTheGlowPicturesAgainAndAgain)
{
    Load();
    EXPECT_EQ(Tick(), 0);
    EXPECT_TRUE(animator.IsAtKeyFrame("stNormal"));
    std::vector<std::vector<int>> pulses(1);
    for (int tick = 0; tick < 100; ++tick) {
        const int shown = Tick();
        ASSERT_TRUE(shown >= 0 && shown <= 7) << tick;
        ASSERT_EQ(animator.GetState(), kStatePlaying);
        pulses.back().push_back(shown);
        if (shown == 7) {
            // The brightest end of the pulse is where it jumps back to its start.
            EXPECT_TRUE(animator.IsAtKeyFrame("st_GlowNormalEnd2")) << tick;
            EXPECT_FALSE(animator.IsAtKeyFrame("stNormal")) << tick;
            pulses.emplace_back();
        }
    }
    ASSERT_GE(pulses.size(), 4u);
    // Whole pulses (not the first, which began before the loop, nor the cut last) are alike:
    // every glow picture in order, each once or more.
    for (size_t i = 1; i + 1 < pulses.size(); ++i) {
        EXPECT_EQ(pulses[i], pulses[1]) << i;
        EXPECT_TRUE(std::is_sorted(pulses[i].begin(), pulses[i].end())) << i;
        for (int picture = 0; picture <= 7; ++picture)
            EXPECT_NE(std::find(pulses[i].begin(), pulses[i].end(), picture), pulses[i].end());
    }
}

TEST_F(TargetGlowTest, ABurnedTargetFlaresAndThenStaysOnItsBurnedPicture)
{
    std::vector<int> firstFlare;
    // Wherever in the pulse the target burns, the same flare follows.
    for (int before : {1, 2, 8, 15, 16, 40}) {
        SCOPED_TRACE(before);
        Load();
        for (int tick = 0; tick < before; ++tick)
            Tick();
        animator.MoveToKeyFrame("st_GlowBurn");
        EXPECT_TRUE(animator.IsAtKeyFrame("st_GlowBurn"));
        std::vector<int> flare{Shown()};
        bool passedEnd3 = false;
        for (int tick = 0; tick < 100 && !animator.IsAtKeyFrame("st_GlowEmptyEnd"); ++tick) {
            const int previous = flare.back();
            flare.push_back(Tick());
            if (animator.IsAtKeyFrame("st_GlowNormalEnd3")) {
                // The flare's last picture ends it.
                EXPECT_EQ(flare.back(), 13);
                passedEnd3 = true;
            } else if (previous == 13) {
                EXPECT_TRUE(passedEnd3);
            }
        }
        ASSERT_TRUE(animator.IsAtKeyFrame("st_GlowEmptyEnd"));
        EXPECT_TRUE(passedEnd3);
        EXPECT_EQ(flare.front(), 8);
        EXPECT_EQ(flare.back(), 14);
        EXPECT_TRUE(std::is_sorted(flare.begin(), flare.end()));
        for (int picture = 8; picture <= 14; ++picture)
            EXPECT_NE(std::find(flare.begin(), flare.end(), picture), flare.end()) << picture;
        if (firstFlare.empty())
            firstFlare = flare;
        EXPECT_EQ(flare, firstFlare);

        // It stays: waiting for good on the burned picture.
        EXPECT_EQ(animator.GetState(), kStateWaiting);
        for (int tick = 0; tick < 200; ++tick)
            ASSERT_EQ(Tick(), 14) << tick;
        EXPECT_TRUE(animator.IsAtKeyFrame("st_GlowEmptyEnd"));
        EXPECT_EQ(animator.GetState(), kStateWaiting);
    }
}

} // namespace
