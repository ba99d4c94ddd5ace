#pragma once
// What the benchmarks of whole frames share: an application that only holds the form stack,
// and a dialog state that flushes as the normal state does but does not present, so a table
// shows the frame's own share (the present, which every side would add, is measured apart).

#include <map>
#include <string>

#include "bench/bench_stats.h"
#include "bench/fastest.h"
#include "foundation/core/rect.h"
#include "gui/dialog.h"
#include "gui/form_stack_application.h"

namespace bench {

class BenchApp : public GFormStackApplication {
public:
    int OnInit() override { return 1; }
};

class FlushState : public GDialogState {
public:
    using GDialogState::GDialogState;
    int OnUpdate(int) override
    {
        GRect rect;
        m_dialog.GetClientBounds(rect);
        m_dialog.RedrawDirty(rect, 0, m_dialog.GetFirstClip());
        return 1;
    }
};

// Runs the registered frames, keeps each one's fastest repetition by the thread's CPU time (ns,
// by name) and prints the table between two headers naming the clock and the load.
inline void RunFrames(std::map<std::string, double>& ns, void (*printTable)())
{
    PrintClockHeader("at the start of the run");
    FastestReporter reporter([&ns](const std::string& name, double cpuNs, double) { ns[name] = cpuNs; });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable();
    PrintClockHeader("at the end of the run");
    benchmark::Shutdown();
}

} // namespace bench
