#include "gui/dialog_states.h"

#include <algorithm>
#include <climits>

#include "foundation/app/command_invoker.h"
#include "gui/gui_commands.h"
#include "gui/gui_system.h"

namespace {

GCommandInvoker* InvokerOf(const GDialog& dialog)
{
    return dialog.GetSystem() ? dialog.GetSystem()->GetInvoker() : nullptr;
}

} // namespace

void ReleasePriorityFilter(GDialog& dialog)
{
    if (GCommandInvoker* invoker = InvokerOf(dialog))
        invoker->ClearPriorityFilter();
}

void GDialogLabelledState::OnBeginState()
{
    m_dialog.OnStateLabel(m_label);
}

void GDialogLabelledState::OnEndState()
{
    m_dialog.OnStateLabel(m_endLabel);
}

int GDialogNormalState::OnUpdate(int)
{
    Redraw();
    return 1;
}

int GDialogTimedState::OnUpdate(int elapsedMs)
{
    AddElapsed(elapsedMs);
    return EndFrame();
}

void GDialogTimedState::AddElapsed(int elapsedMs)
{
    // Saturates: a state left open for weeks still ends.
    if (elapsedMs > 0)
        m_elapsedMs = elapsedMs > INT_MAX - m_elapsedMs ? INT_MAX : m_elapsedMs + elapsedMs;
}

int GDialogTimedState::Progress() const
{
    if (m_durationMs <= 0 || m_elapsedMs >= m_durationMs)
        return 256;
    return static_cast<int>(static_cast<int64_t>(m_elapsedMs) * 256 / m_durationMs);
}

bool GDialogTimedState::IsOver() const
{
    return m_elapsedMs >= m_durationMs && !m_dialog.IsStateBusy();
}

int GDialogTimedState::EndFrame()
{
    // Even a state of no time shows its one frame.
    Redraw();
    if (IsOver())
        FinishState();
    return 1;
}

GDialogAppearState::~GDialogAppearState()
{
    if (m_holding)
        ReleaseFilter();
}

void GDialogAppearState::OnBeginState()
{
    if (GCommandInvoker* invoker = InvokerOf(m_dialog)) {
        invoker->SetPriorityFilter(kUnfilteredCommandPriority);
        m_holding = true;
    }
    GDialogTimedState::OnBeginState();
}

void GDialogAppearState::OnEndState()
{
    ReleaseFilter();
    GDialogTimedState::OnEndState();
}

void GDialogAppearState::ReleaseFilter()
{
    m_holding = false;
    ReleasePriorityFilter(m_dialog);
}

void GDialogAppearState::FinishState()
{
    m_dialog.SetState(std::make_unique<GDialogNormalState>(m_dialog));
}

void GDialogAppearState::Redraw()
{
    // The first frame draws the whole list, so the dialog appears over whatever was shown.
    if (!m_shown) {
        m_shown = true;
        m_dialog.Present(1);
        return;
    }
    GDialogTimedState::Redraw();
}

void GDialogWaitState::FinishState()
{
    m_dialog.SetState(std::make_unique<GDialogNormalState>(m_dialog));
}

bool GDialogWaitState::IsOver() const
{
    if (m_done && m_done())
        return true;
    return GetDuration() >= 0 && GetElapsed() >= GetDuration();
}

void GDialogDisappearState::OnEndState()
{
    ReleasePriorityFilter(m_dialog);
    GDialogTimedState::OnEndState();
}

void GDialogDisappearState::FinishState()
{
    m_dialog.SetState(std::make_unique<GDialogCanDeleteState>(m_dialog));
}
