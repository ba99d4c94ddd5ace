// The board's pictures over many random games, driven as the game's form drives them (a shot,
// then a step at a time, the view's frames between), checked after each call against the board
// itself: every cell, cube and the flying cube where the player expects them, the gun on its
// ring place with the aim mark and the next cube, a bonus fire on each cell that holds one and
// each collected one flying to the panel, a burst where each cube vanished, and the view settled
// exactly when nothing is left moving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "game/board/game_board.h"
#include "graphics/animation/cfg_keyframe_animator.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/rect_array.h"
#include "graphics/store/graphics_resources.h"
#include "screens/board_view.h"
#include "support/random_levels.h"
#include "support/temp_files.h"

namespace {

constexpr int N = GGameBoard::kSize;
constexpr int kCell = GBoardView::kCellSize;

struct Forward : GBoardListener {
    GBoardView* view = nullptr;
    GGameBoard* board = nullptr;
    std::vector<GBoardEvent> told;
    void OnBoardEvent(const GBoardEvent& event) override
    {
        view->OnEvent(event, *board);
        told.push_back(event);
    }
};

// What the test expects to be moving: bursts and bonus flights, each with the time it has left.
struct Moving {
    std::vector<std::tuple<int, int, int, int>> bursts; // x, y, colour, ms left
    std::vector<int> flights;                           // ms left
};

class BoardViewModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        store = GGraphicsResources::Create("800x600", 100, 0);
        ASSERT_NE(store, nullptr);
        for (const char* name : {"CELL_FLOOR", "CELL_WALL", "CELL_REPAINT_0", "TARGET_0",
                                 "TARGET_14", "CUBE_0", "GUN_0", "AIM_MARK", "BONUS_FIRE_0"}) {
            slot[name] = store->FindBitmap(name);
            ASSERT_GE(slot[name], 0) << name;
        }
        GCfgNode file;
        GLabelKeyFrameAnimator loader;
        std::unique_ptr<uint8_t[]> packed;
        uint32_t size = 0;
        ASSERT_EQ(file.LoadFile("target_glow.cfg"), 1);
        ASSERT_TRUE(loader.LoadAndCheck(GCfgObjectCursor(file.FindObjectList("TargetGlow"), 0),
                                        store.get()) &&
                    loader.SaveToMemory(&packed, &size));
        glow.assign(packed.get(), packed.get() + size);
    }

    // The visible clips of the list whose picture lies in [first, first + count).
    std::vector<const GClip*> Showing(int first, int count) const
    {
        std::vector<const GClip*> found;
        for (int i = 0; i < clips->GetCount(); ++i) {
            const GClip* clip = clips->GetAt(i);
            if (clip->IsVisible() && clip->GetSlot() >= first && clip->GetSlot() < first + count)
                found.push_back(clip);
        }
        return found;
    }
    static bool At(const GClip& clip, int cellX, int cellY)
    {
        return clip.GetX() == FixedFromInt(GBoardView::CentreX(cellX)) &&
               clip.GetY() == FixedFromInt(GBoardView::CentreY(cellY));
    }

    void Check(const GGameBoard& board, const GBoardView& view, const Moving& moving, bool glowing,
               const std::string& what);

    tolvanrise::test::ScopedCurrentFolder here{TOLVANRISE_DATA_DIR};
    std::unique_ptr<GGraphicsResources> store;
    std::map<std::string, int> slot;
    std::vector<uint8_t> glow;
    std::unique_ptr<GClipArray> clips = GClipArray::Create(1000);
    std::unique_ptr<GRectArray> rects = GRectArray::Create(256);
};

void BoardViewModel::Check(const GGameBoard& board, const GBoardView& view, const Moving& moving,
                           bool glowing, const std::string& what)
{
    const int cube0 = slot["CUBE_0"];
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const GCell& cell = board.At(x, y);
            const GBitmapClip& shown = view.CellClip(x, y);
            ASSERT_TRUE(shown.IsVisible() && At(shown, x, y)) << what << " cell " << x << "," << y;
            ASSERT_EQ(view.GlowAt(x, y) != nullptr, glowing && cell.kind == GCellKind::kTarget)
                << what;
            if (cell.kind != GCellKind::kTarget) {
                ASSERT_EQ(shown.GetSlot(), cell.kind == GCellKind::kWall ? slot["CELL_WALL"]
                                           : cell.kind == GCellKind::kFloor
                                               ? slot["CELL_FLOOR"]
                                               : slot["CELL_REPAINT_0"] + cell.repaintColour)
                    << what << " cell " << x << "," << y;
            } else if (!glowing) {
                ASSERT_EQ(shown.GetSlot(), slot[cell.burned ? "TARGET_14" : "TARGET_0"]) << what;
            }
            const GBitmapClip& cube = view.CubeClip(x, y);
            ASSERT_EQ(cube.IsVisible(), cell.cube >= 0) << what << " cube " << x << "," << y;
            if (cell.cube >= 0) {
                ASSERT_TRUE(cube.GetSlot() == cube0 + cell.cube && At(cube, x, y))
                    << what << " cube " << x << "," << y;
            }
        }
    // The gun stands on the ring before the cell it fires into; the mark shows that cell while
    // the player aims, and the next cube waits on the gun while the level is played.
    int ex, ey, dx, dy;
    GGameBoard::EntryOf(board.GetGun(), ex, ey, dx, dy);
    const std::vector<const GClip*> guns = Showing(slot["GUN_0"], 4);
    ASSERT_EQ(guns.size(), 1u) << what;
    ASSERT_TRUE(guns[0]->GetSlot() == slot["GUN_0"] + int(board.GetGun().side) &&
                At(*guns[0], ex - dx, ey - dy))
        << what;
    const std::vector<const GClip*> marks = Showing(slot["AIM_MARK"], 1);
    ASSERT_EQ(marks.size(), board.GetState() == GBoardState::kAiming ? 1u : 0u) << what;
    if (!marks.empty()) {
        ASSERT_TRUE(At(*marks[0], ex, ey)) << what;
    }
    const bool playing =
        board.GetState() == GBoardState::kAiming || board.GetState() == GBoardState::kFlying;
    std::set<const GClip*> cubes{&view.FlyingClip()};
    for (int i = 0; i < N * N; ++i)
        cubes.insert(&view.CubeClip(i % N, i / N));
    std::vector<const GClip*> next, bursts;
    for (const GClip* clip : Showing(cube0, 4))
        if (!cubes.count(clip))
            (At(*clip, ex - dx, ey - dy) ? next : bursts).push_back(clip);
    ASSERT_EQ(next.size(), playing ? 1u : 0u) << what;
    if (playing) {
        ASSERT_TRUE(next[0]->GetSlot() == cube0 + board.GetNextColour() &&
                    static_cast<const GBitmapClip*>(next[0])->GetScale() < 256)
            << what;
    }
    // What remains of the cube pictures: the resting cubes and the bursts, each burst in its
    // cube's colour on the cell it left.
    std::multiset<std::tuple<int, int, int>> burstsSeen, burstsWanted;
    for (const GClip* clip : bursts)
        burstsSeen.insert({(FixedWhole(clip->GetX()) - GBoardView::kBoardLeft) / kCell,
                           (FixedWhole(clip->GetY()) - GBoardView::kBoardTop) / kCell,
                           clip->GetSlot() - cube0});
    for (const auto& [x, y, colour, ms] : moving.bursts)
        burstsWanted.insert({x, y, colour});
    ASSERT_EQ(burstsSeen, burstsWanted) << what;
    // A bonus fire on each cell that holds one; the others fly.
    const std::vector<const GClip*> fires = Showing(slot["BONUS_FIRE_0"], 4);
    int resting = 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            if (board.At(x, y).bonus) {
                ++resting;
                ASSERT_TRUE(std::any_of(fires.begin(), fires.end(),
                                        [&](const GClip* c) { return At(*c, x, y); }))
                    << what << " bonus " << x << "," << y;
            }
    ASSERT_EQ(fires.size(), resting + moving.flights.size()) << what;
    if (!glowing) {
        ASSERT_EQ(view.IsSettled(), moving.bursts.empty() && moving.flights.empty()) << what;
    }
}

TEST_F(BoardViewModel, EveryCallLeavesThePicturesAsTheBoardAndItsMovingPartsAre)
{
    std::mt19937 draw(7);
    const std::vector<GGunPosition> ring = [] {
        std::vector<GGunPosition> all;
        for (int side = 0; side < 4; ++side)
            for (int line = 0; line < N; ++line)
                all.push_back({static_cast<GSide>(side), static_cast<int8_t>(line)});
        return all;
    }();
    int burstsSeen = 0, flightsSeen = 0, won = 0;
    for (int game = 0; game < 150; ++game) {
        const bool glowing = game % 4 == 3;
        clips->RemoveRange(0, clips->GetCount());
        std::unique_ptr<GClipContainer> container =
            GClipContainer::Create(nullptr, store.get(), clips.get(), rects.get());
        GBoardView view;
        ASSERT_TRUE(view.Init(store.get(), *container, glowing ? glow : std::vector<uint8_t>{}));
        GGameBoard board;
        Forward forward;
        forward.view = &view, forward.board = &board;
        board.SetListener(&forward);
        ASSERT_EQ(board.Start(tolvanrise::test::RandomLevel(draw),
                              tolvanrise::test::RandomRules(draw), draw() % 2, draw()),
                  1);
        view.Build(board);
        Moving moving;
        for (int call = 0; call < 300 && (board.GetState() == GBoardState::kAiming ||
                                          board.GetState() == GBoardState::kFlying ||
                                          !moving.flights.empty() || !moving.bursts.empty());
             ++call) {
            std::ostringstream what;
            const int kind = static_cast<int>(draw() % 10);
            what << "game " << game << " call " << call << " kind " << kind;
            bool cubes[N][N];
            for (int y = 0; y < N; ++y)
                for (int x = 0; x < N; ++x)
                    cubes[y][x] = view.CubeClip(x, y).IsVisible();
            forward.told.clear();
            if (kind < 2) {
                board.Aim(ring[draw() % ring.size()]);
                view.ShowGun(board);
            } else if (kind < 3) {
                board.MoveGun(static_cast<int>(draw() % 5) - 2, static_cast<int>(draw() % 5) - 2);
                view.ShowGun(board);
            } else if (kind < 5) {
                if (board.Fire())
                    view.SyncCubes(board);
            } else if (kind < 8 && board.GetState() == GBoardState::kFlying) {
                board.Step();
                view.SyncCubes(board);
                if (board.GetState() != GBoardState::kFlying)
                    view.ShowGun(board);
            } else {
                const int ms = static_cast<int>(draw() % 120) - 10,
                          fraction = static_cast<int>(draw() % 300) - 20;
                if (board.GetState() == GBoardState::kAiming ||
                    board.GetState() == GBoardState::kFlying)
                    board.AdvanceTime(ms);
                const GBoardView::Arrivals arrived = view.Update(ms, board, fraction);
                int landed = 0;
                for (int& left : moving.flights)
                    landed += (left -= std::max(ms, 0)) <= 0;
                std::erase_if(moving.flights, [](int left) { return left <= 0; });
                for (auto& burst : moving.bursts)
                    std::get<3>(burst) -= std::max(ms, 0);
                std::erase_if(moving.bursts,
                              [](const auto& burst) { return std::get<3>(burst) <= 0; });
                ASSERT_EQ(arrived.bonuses, landed) << what.str();
                if (board.GetFlyingX() >= 0) {
                    // Between the cell it left and the one it is in, as far as the fraction says.
                    int ex, ey, dx, dy;
                    GGameBoard::EntryOf(board.GetGun(), ex, ey, dx, dy);
                    const double t = std::clamp(fraction, 0, 256) / 256.0;
                    const GClip& flying = view.FlyingClip();
                    ASSERT_TRUE(flying.IsVisible() &&
                                flying.GetSlot() == slot["CUBE_0"] + board.GetFlyingColour())
                        << what.str();
                    ASSERT_LE(
                        std::abs(FixedWhole(flying.GetX()) -
                                 (GBoardView::CentreX(board.GetFlyingX()) - dx * kCell * (1 - t))),
                        1.0)
                        << what.str();
                    ASSERT_LE(
                        std::abs(FixedWhole(flying.GetY()) -
                                 (GBoardView::CentreY(board.GetFlyingY()) - dy * kCell * (1 - t))),
                        1.0)
                        << what.str();
                }
            }
            if (board.GetFlyingX() < 0) {
                ASSERT_FALSE(view.FlyingClip().IsVisible()) << what.str();
            }
            for (const GBoardEvent& e : forward.told) {
                // A cube that comes to rest shows there before its group goes.
                if (e.moment == GBoardMoment::kCubeStops)
                    cubes[e.y][e.x] = true;
                if (e.moment == GBoardMoment::kBonusCollected && moving.flights.size() < 4)
                    moving.flights.push_back(GBoardView::kBonusFlightMs), ++flightsSeen;
                won += e.moment == GBoardMoment::kLevelWon;
            }
            for (int y = 0; y < N; ++y)
                for (int x = 0; x < N; ++x)
                    if (cubes[y][x] && board.At(x, y).cube < 0 && moving.bursts.size() < 24) {
                        moving.bursts.push_back({x, y,
                                                 view.CubeClip(x, y).GetSlot() - slot["CUBE_0"],
                                                 GBoardView::kBurstMs});
                        ++burstsSeen;
                    }
            Check(board, view, moving, glowing, what.str());
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GT(burstsSeen, 50);
    EXPECT_GT(flightsSeen, 5);
    EXPECT_GT(won, 3);
}

TEST(BoardViewCells, EachScreenPointFindsTheRingOrBoardCellItLiesIn)
{
    for (int cy = -1; cy <= N; ++cy)
        for (int cx = -1; cx <= N; ++cx) {
            const int left = GBoardView::CentreX(cx) - kCell / 2,
                      top = GBoardView::CentreY(cy) - kCell / 2;
            for (const auto& [px, py] : {std::pair{left, top},
                                         {left + kCell - 1, top + kCell - 1},
                                         {left + kCell / 2, top}}) {
                int x = -9, y = -9;
                ASSERT_TRUE(GBoardView::CellAt(px, py, x, y)) << px << "," << py;
                ASSERT_TRUE(x == cx && y == cy) << px << "," << py;
            }
        }
    const int first = GBoardView::CentreX(-1) - kCell / 2,
              last = GBoardView::CentreX(N) + kCell / 2;
    int x = 0, y = 0;
    for (const auto& [px, py] :
         {std::pair{first - 1, first}, {first, first - 1}, {last, first}, {first, last}})
        EXPECT_FALSE(GBoardView::CellAt(px, py, x, y)) << px << "," << py;
}

} // namespace
