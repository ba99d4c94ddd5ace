// The board's own share of a frame: a level of the game with one cube in flight, run as the
// game's main form runs it (the view's animation step, the clips' update pass over every cell,
// cube and effect clip, and the flush), against a bare RedrawDirty of the same render list in
// which only the flying cube is moved by hand, the same way, so both redraw the same dirty
// area. Neither side presents (the present of the area, which both would add, is measured
// beside them). Repetitions are interleaved at random and the table takes each one's fastest,
// by the CPU time of the thread. Run pinned: taskset -c 7 bench_board

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_stats.h"
#include "bench/dialog_bench.h"
#include "bench/fastest.h"
#include "game/board/game_board.h"
#include "graphics/scene/clip_array.h"
#include "gui/dialog.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "screens/board_view.h"

namespace {

using bench::BenchApp;
using bench::FlushState;

// A board as a level of the game lays it out: walls, repaint cells, targets and cubes about,
// the bottom row's middle column left free for the shot.
GLevel BenchLevel()
{
    GLevel level;
    level.name = "bench";
    level.shots = 50;
    level.colours = 3;
    for (int i = 0; i < GLevel::kCells; ++i) {
        const int x = i % 13, y = i / 13;
        level.cells[i] = (x + y) % 7 == 0 ? '#' : (x * y) % 11 == 5 ? 'T' : (x + 2 * y) % 13 == 4 ? '1' : '.';
        level.cubes[i] = level.cells[i] != '#' && y < 6 && (x * 3 + y) % 4 == 0 ? char('0' + (x + y) % 3) : '.';
    }
    for (int y = 0; y < 13; ++y) {
        level.cells[y * 13 + 6] = y == 0 ? '#' : '.';
        level.cubes[y * 13 + 6] = '.';
    }
    level.cells[5] = 'T';
    return level;
}

struct World : GBoardListener {
    // The form's part: the view follows the board's moments.
    void OnBoardEvent(const GBoardEvent& event) override { view.OnEvent(event, board); }

    BenchApp app;
    GGuiSystem system;
    GDialog* dialog = nullptr;
    GGameBoard board;
    GBoardView view;
    GClip* flying = nullptr; // the view's flying cube, as the render list holds it
    int fraction = 0;
    int bareFraction = 0;
};

World* g_world = nullptr;
std::map<std::string, double> g_ns;

World* MakeWorld()
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (chdir(TOLVANRISE_DATA_DIR) != 0)
        return nullptr;
    auto* w = new World;
    if (!w->app.Create("Bench", "Bench", 800, 600, 0) || !w->system.Init(&w->app, "/tmp/bench_board.html"))
        return nullptr;
    auto dialog = std::make_unique<GDialog>(&w->app, &w->system);
    w->dialog = dialog.get();
    if (dialog->Create(0) != 1)
        return nullptr;
    w->app.PushForm(std::move(dialog));
    // The targets stand still: their glow would add dirty areas of its own to one side only.
    w->board.SetListener(w);
    if (!w->view.Init(w->system.GetResources(), *w->dialog, {}) ||
        !w->board.Start(BenchLevel(), GBoardRules{}, false, 1))
        return nullptr;
    w->view.Build(w->board);
    if (!w->board.Fire())
        return nullptr;
    GClipArray& clips = *w->dialog->GetClips();
    for (int i = w->dialog->GetFirstClip(); i < clips.GetCount(); ++i)
        if (clips.GetAt(i) == &w->view.FlyingClip())
            w->flying = clips.GetAt(i);
    for (int i = 0; i < 3; ++i)
        w->app.OnFrame(30);
    w->dialog->SetState(std::make_unique<FlushState>(*w->dialog));
    return w->flying ? w : nullptr;
}

// The cube moves a quarter of a cell a frame and starts over: it never lands.
int NextFraction(int& fraction)
{
    fraction = (fraction + 64) % 256;
    return fraction;
}

void BoardFrame(World& w)
{
    w.view.Update(30, w.board, NextFraction(w.fraction));
    w.dialog->Update(30);
}

void BareFrame(World& w)
{
    int x = 0, y = 0, dx = 0, dy = 0;
    GGameBoard::EntryOf(w.board.GetGun(), x, y, dx, dy);
    const int t = NextFraction(w.bareFraction);
    w.flying->SetX(FixedFromInt(GBoardView::CentreX(x) - dx * GBoardView::kCellSize * (256 - t) / 256));
    w.flying->SetY(FixedFromInt(GBoardView::CentreY(y) - dy * GBoardView::kCellSize * (256 - t) / 256));
    // The drawable image finds its rectangle in its own update: only then is its move dirty.
    w.flying->Update();
    GRect rect;
    w.dialog->GetClientBounds(rect);
    w.dialog->RedrawDirty(rect, 0, w.dialog->GetFirstClip());
}

void PresentArea(World& w)
{
    GRect area = w.flying->GetRect();
    area.top -= GBoardView::kCellSize;
    w.app.PresentRect(area);
}

void Register(const char* name, void (*frame)(World&))
{
    bench::RegisterRepeated(name, [frame] { frame(*g_world); });
}

void PrintTable()
{
    const double board = g_ns["flight/board"] / 1e3;
    const double bare = g_ns["flight/bare"] / 1e3;
    std::printf("\nMicroseconds per frame (fastest repetition); ratio = board frame / bare flush of "
                "the same area.\n");
    std::printf("%-8s %10s %10s %8s\n", "frame", "board us", "bare us", "ratio");
    std::printf("%-8s %10.2f %10.2f %8.2f\n", "flight", board, bare, bare > 0 ? board / bare : 0.0);
    std::printf("Presenting the cube's area adds %.2f us to either side.\n", g_ns["present/area"] / 1e3);
    std::printf("Target: at most 1.5.\n");
}

} // namespace

int main(int argc, char** argv)
{
    bench::InitializeInterleaved(argc, argv);
    g_world = MakeWorld();
    if (!g_world) {
        std::fprintf(stderr, "bench_board: cannot lay out the board over %s\n", TOLVANRISE_DATA_DIR);
        return 1;
    }
    Register("flight/board", BoardFrame);
    Register("flight/bare", BareFrame);
    Register("present/area", PresentArea);
    bench::RunFrames(g_ns, PrintTable);
    // The dialog holds clips in the system's list: it goes first.
    g_world->app.RemoveAllForms();
    return 0;
}
