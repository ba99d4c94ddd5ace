// The GUI layer's own share of a frame: a dialog of 20 controls (built from a dialog file by the
// dialog builder) run by its normal state, against a bare RedrawDirty of the same render list
// with the same dirty area made by hand, in one run. Frames:
//   idle     nothing changes: the controls' and clips' update pass and an empty flush
//   hovered  the cursor moves onto a button and off again, one frame each: the GUI routes the
//            move, finds the control, changes its look and redraws it; the bare side marks
//            the clips over that button moved and flushes
// Neither side presents: the dialog runs a state that flushes as the normal state does and
// stops there, so the table shows the GUI layer's own share; the present of the hovered
// button's area, which both would add, is measured beside them. Repetitions are interleaved
// at random and the table takes each one's fastest, by the CPU time of the thread. Run pinned:
// taskset -c 7 bench_gui

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
#include "foundation/cfg/cfg_node.h"
#include "graphics/scene/clip_array.h"
#include "gui/bmp_font_manager.h"
#include "gui/controls/base_control.h"
#include "gui/dialog.h"
#include "gui/dialog_builder.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "gui/old_font_manager.h"

namespace {

using bench::BenchApp;
using bench::FlushState;

// Five rows of four: buttons, check boxes, sliders, edits (two kinds), labels and a list.
std::string DialogText()
{
    std::string text = "Dialog {\n BackgroundColour = 0x201810\n";
    for (int i = 0; i < 20; ++i) {
        const int x = 20 + (i % 4) * 190;
        const int y = 40 + (i / 4) * 110;
        const std::string n = std::to_string(i);
        const std::string place = " X = " + std::to_string(x) + " Y = " + std::to_string(y);
        switch (i / 4) {
        case 0:
            text += "Control { Name = btn" + n + place +
                    " Width = 170 Height = 40 Font = Sans12 Text = Play" + n + " }\n";
            break;
        case 1:
            text += "Control { Name = cb" + n + place +
                    " Width = 170 Height = 24 Font = Sans12 Text = Option" + n +
                    " Checked = " + std::to_string(i & 1) + " }\n";
            break;
        case 2:
            text += "Control { Name = sl" + n + place +
                    " Width = 170 Height = 20 Value = " + std::to_string(i * 5) + " }\n";
            break;
        case 3:
            text +=
                i & 1 ? "Control { Name = ed" + n + place +
                            " Width = 170 Height = 20 Font = Sans9 Text = Code" + n + " }\n"
                      : "Control { Name = txt" + n + " Class = TEXTEDIT" + place +
                            " Width = 170 Height = 24 Font = DejaVuSans.ttf Size = 12 Text = Name" +
                            n + " }\n";
            break;
        default:
            text += i == 19
                        ? "Control { Name = lst" + n + place +
                              " Width = 170 Height = 100 Font = Sans12 Items = [ One Two Three "
                              "Four ] Selected = 1 }\n"
                        : "Control { Name = lbl" + n + place +
                              " Width = 170 Height = 30 Font = Sans12 Text = Label" + n + " }\n";
            break;
        }
    }
    return text + "}\n";
}

struct World {
    BenchApp app;
    GGuiSystem system;
    GDialog* dialog = nullptr;
    GRect button; // the hovered control
    bool on = false;
};

World* g_world = nullptr;
std::map<std::string, double> g_ns;

World* MakeWorld()
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (chdir(TOLVANRISE_DATA_DIR) != 0)
        return nullptr;
    auto* w = new World;
    if (!w->app.Create("Bench", "Bench", 800, 600, 0) ||
        !w->system.Init(&w->app, "/tmp/bench_gui.html") ||
        w->system.GetBmpFontManager()->Init(w->system.GetResources(), "fonts.xml") != 2 ||
        !w->system.GetOldFontManager()->AddFont("Sans9", "OLDFONT_SANS9", 3, 255, 33))
        return nullptr;
    auto dialog = std::make_unique<GDialog>(&w->app, &w->system);
    w->dialog = dialog.get();
    if (dialog->Create(0) != 1)
        return nullptr;
    w->app.PushForm(std::move(dialog));
    const std::string text = DialogText();
    GCfgNode file;
    if (!file.Parse(text.data(), text.size()) ||
        GDialogBuilder(w->system).Build(*w->dialog, file, "bench") != 20)
        return nullptr;
    w->button = w->dialog->FindControl("btn1")->GetRect();
    for (int i = 0; i < 3; ++i)
        w->app.OnFrame(30);
    w->dialog->SetState(std::make_unique<FlushState>(*w->dialog));
    return w;
}

void GuiIdle(World& w)
{
    w.dialog->Update(30);
}

void BareIdle(World& w)
{
    GRect rect;
    w.dialog->GetClientBounds(rect);
    w.dialog->RedrawDirty(rect, 0, w.dialog->GetFirstClip());
}

void GuiHovered(World& w)
{
    w.on = !w.on;
    w.dialog->OnMouseMove(w.on ? w.button.left + 10 : 5, w.on ? w.button.top + 10 : 590);
    w.dialog->Update(30);
}

void BareHovered(World& w)
{
    GClipArray& clips = *w.dialog->GetClips();
    for (int i = w.dialog->GetFirstClip(); i < clips.GetCount(); ++i) {
        GClip* clip = clips.GetAt(i);
        if (clip->IsVisible() && RectsOverlap(clip->GetRect(), w.button))
            clip->MarkMoved();
    }
    GRect rect;
    w.dialog->GetClientBounds(rect);
    w.dialog->RedrawDirty(rect, 0, w.dialog->GetFirstClip());
}

void PresentButton(World& w)
{
    w.app.PresentRect(w.button);
}

void Register(const char* name, void (*frame)(World&))
{
    bench::RegisterRepeated(name, [frame] { frame(*g_world); });
}

void PrintTable()
{
    std::printf("\nMicroseconds per frame (fastest repetition); ratio = GUI frame / bare flush of "
                "the same area.\n");
    std::printf("%-8s %10s %10s %8s\n", "frame", "gui us", "bare us", "ratio");
    for (const char* frame : {"idle", "hovered"}) {
        const double gui = g_ns[std::string(frame) + "/gui"] / 1e3;
        const double bare = g_ns[std::string(frame) + "/bare"] / 1e3;
        std::printf("%-8s %10.2f %10.2f %8.2f\n", frame, gui, bare, bare > 0 ? gui / bare : 0.0);
    }
    std::printf("Presenting the hovered button's area adds %.2f us to either side.\n",
                g_ns["present/area"] / 1e3);
    std::printf("Target: at most 1.5 in both frames.\n");
}

} // namespace

int main(int argc, char** argv)
{
    bench::InitializeInterleaved(argc, argv);
    g_world = MakeWorld();
    if (!g_world) {
        std::fprintf(stderr, "bench_gui: cannot build the dialog over %s\n", TOLVANRISE_DATA_DIR);
        return 1;
    }
    Register("idle/gui", GuiIdle);
    Register("idle/bare", BareIdle);
    Register("hovered/gui", GuiHovered);
    Register("hovered/bare", BareHovered);
    Register("present/area", PresentButton);
    bench::RunFrames(g_ns, PrintTable);
    // The dialog holds clips in the system's list: it goes first.
    g_world->app.RemoveAllForms();
    return 0;
}
