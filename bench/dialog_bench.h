#pragma once
// What the benchmarks of whole frames share: an application that only holds the form stack,
// and a dialog state that flushes as the normal state does but does not present, so a table
// shows the frame's own share (the present, which every side would add, is measured apart).

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

} // namespace bench
