#include "gui/dialog.h"

#include <algorithm>

#include "foundation/app/command_invoker.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/dialog_states.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "foundation/app/key_codes.h"
#include "gui/control_listener.h"
#include "gui/controls/base_control.h"

namespace {

// Moves a mark that one control at most carries (hover, focus) to another, or to none.
void HandOver(GBaseControl*& holder, GBaseControl* to, void (GBaseControl::*mark)(bool))
{
    if (to == holder)
        return;
    if (holder)
        (holder->*mark)(false);
    holder = to;
    if (holder)
        (holder->*mark)(true);
}

} // namespace

int GDialogState::OnKeyDown(int32_t key)
{
    return m_dialog.RouteKeyDown(key);
}

int GDialogState::OnLButtonDown(int32_t x, int32_t y)
{
    return m_dialog.RouteLButtonDown(x, y);
}

int GDialogState::OnLButtonUp(int32_t x, int32_t y)
{
    return m_dialog.RouteLButtonUp(x, y);
}

int GDialogState::OnLButtonDblClk(int32_t x, int32_t y)
{
    return m_dialog.RouteLButtonDblClk(x, y);
}

int GDialogState::OnLButtonDrag(int32_t x, int32_t y)
{
    return m_dialog.RouteLButtonDrag(x, y);
}

int GDialogState::OnMouseMove(int32_t x, int32_t y)
{
    return m_dialog.RouteMouseMove(x, y);
}

GDialog::GDialog(GFormStackApplication* application, GGuiSystem* system)
    : m_application(application), m_system(system)
{
}

GDialog::~GDialog()
{
    m_state.reset();
    m_retired.reset();
    m_focus = m_hover = m_capture = nullptr;
    // Controls take their clips out of the list as they go.
    m_controls.clear();
    m_controlListeners.clear();
    // The dialog's clips end the list; they are the dialog's members or its controls' and
    // must not be drawn after it.
    if (GClipArray* clips = GetClips(); clips && clips->GetCount() > m_firstClip)
        clips->RemoveRange(m_firstClip, clips->GetCount() - m_firstClip);
}

int GDialog::Create(int appearMs)
{
    return Create(std::make_unique<GDialogAppearState>(*this, appearMs));
}

int GDialog::Create(std::unique_ptr<GDialogState> appearState)
{
    if (!m_system || !m_application)
        return 0;
    m_firstClip = m_system->GetClipArray() ? m_system->GetClipArray()->GetCount() : 0;
    const int result = Init(m_application->GetBackBuffer(), m_system->GetResources(),
                            m_system->GetClipArray(), m_system->GetRectArray());
    SetState(appearState ? std::move(appearState) : std::make_unique<GDialogAppearState>(*this, 0));
    return result;
}

bool GDialog::IsClosing() const
{
    return m_canDelete || dynamic_cast<const GDialogDisappearState*>(m_state.get()) != nullptr;
}

void GDialog::Disappear()
{
    if (!IsClosing())
        SetState(std::make_unique<GDialogDisappearState>(*this, 0));
}

void GDialog::Activate()
{
    // Back on top: whatever the dialog above left on the screen is drawn over.
    if (m_activated)
        Repaint();
    m_activated = true;
    // Through the slot, so a dialog that overrides it hears that it is on top.
    OnActivate();
}

int GDialog::Update(int elapsedMs)
{
    for (size_t i = 0; i < m_controlListeners.size(); ++i)
        m_controlListeners[i]->OnUpdate(*this);
    for (size_t i = 0; i < m_controls.size(); ++i)
        m_controls[i]->Update(elapsedMs);
    GClipContainer::Update();
    m_retired.reset();
    const int result = m_state ? m_state->OnUpdate(elapsedMs) : 1;
    m_retired.reset();
    return result;
}

void GDialog::SetState(std::unique_ptr<GDialogState> state)
{
    if (m_state)
        m_state->OnEndState();
    m_retired = std::move(m_state);
    m_state = std::move(state);
    if (m_state)
        m_state->OnBeginState();
}

void GDialog::Present(int flag)
{
    if (!m_application || !GetBackBuffer())
        return;
    GRect rect;
    GetClientBounds(rect);
    if (flag == 0) {
        if (RedrawDirty(rect, 0, m_firstClip) == 1)
            m_application->PresentRect(rect);
        return;
    }
    RedrawDirty(rect, 0, 0);
    m_application->PresentRect(rect);
}

void GDialog::Repaint()
{
    if (!m_application || !GetBackBuffer())
        return;
    if (GClipArray* clips = GetClips()) {
        for (int i = m_firstClip; i < clips->GetCount(); ++i)
            if (GClip* clip = clips->GetAt(i))
                clip->MarkMoved();
    }
    GRect rect{};
    RedrawDirty(rect, 0, 0);
    m_application->PresentRect(rect);
}

bool GDialog::CancelWait()
{
    auto* wait = dynamic_cast<GDialogWaitState*>(m_state.get());
    if (!wait)
        return false;
    wait->FinishState();
    return true;
}

void GDialog::AddStateListener(GDialogStateListener* listener)
{
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void GDialog::RemoveStateListener(GDialogStateListener* listener)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void GDialog::OnStateLabel(const char* label)
{
    // A listener may remove itself while it is told.
    const std::vector<GDialogStateListener*> listeners = m_listeners;
    for (GDialogStateListener* listener : listeners)
        listener->OnDialogState(*this, label);
}

bool GDialog::IsStateBusy() const
{
    // A control whose animator still plays a state's animation keeps the state going too.
    return IsBusy() || std::any_of(m_listeners.begin(), m_listeners.end(),
                                   [](const GDialogStateListener* listener) { return listener->IsBusy(); });
}

int GDialog::OnKeyDown(int32_t key)
{
    return m_state ? m_state->OnKeyDown(key) : RouteKeyDown(key);
}

int GDialog::OnKeyUp(int32_t key)
{
    return m_state ? m_state->OnKeyUp(key) : 0;
}

int GDialog::OnChar(int32_t character)
{
    return m_state ? m_state->OnChar(character) : 0;
}

int GDialog::OnLButtonDown(int32_t x, int32_t y)
{
    return m_state ? m_state->OnLButtonDown(x, y) : RouteLButtonDown(x, y);
}

int GDialog::OnLButtonUp(int32_t x, int32_t y)
{
    return m_state ? m_state->OnLButtonUp(x, y) : RouteLButtonUp(x, y);
}

int GDialog::OnLButtonDblClk(int32_t x, int32_t y)
{
    return m_state ? m_state->OnLButtonDblClk(x, y) : RouteLButtonDblClk(x, y);
}

int GDialog::OnLButtonDrag(int32_t x, int32_t y)
{
    return m_state ? m_state->OnLButtonDrag(x, y) : RouteLButtonDrag(x, y);
}

int GDialog::OnMouseMove(int32_t x, int32_t y)
{
    return m_state ? m_state->OnMouseMove(x, y) : RouteMouseMove(x, y);
}

int GDialog::OnRButtonDown(int32_t x, int32_t y)
{
    return m_state ? m_state->OnRButtonDown(x, y) : 0;
}

int GDialog::OnRButtonUp(int32_t x, int32_t y)
{
    return m_state ? m_state->OnRButtonUp(x, y) : 0;
}

int GDialog::RouteKeyDown(int32_t key)
{
    if (m_focus && m_focus->TakesInput() && m_focus->OnKeyDown(key))
        return 1;
    if (VirtualKeyToKeyCode(key) == kKeyTab) {
        MoveFocus(m_application && m_application->IsShiftDown() ? -1 : 1);
        return 1;
    }
    return 0;
}

int GDialog::RouteLButtonDown(int32_t x, int32_t y)
{
    GBaseControl* control = ControlAt(x, y);
    SetHover(control);
    m_capture = control;
    if (!control)
        return 0;
    if (control->CanFocus())
        SetFocus(control);
    control->OnLButtonDown(x, y);
    return 1;
}

int GDialog::RouteLButtonUp(int32_t x, int32_t y)
{
    GBaseControl* control = m_capture;
    m_capture = nullptr;
    // The release may click, and a click may change what lies under the cursor.
    if (control)
        control->OnLButtonUp(x, y);
    SetHover(ControlAt(x, y));
    return control ? 1 : 0;
}

int GDialog::RouteLButtonDblClk(int32_t x, int32_t y)
{
    // The second press of a double click: a control without a use for it takes it as a press.
    GBaseControl* control = ControlAt(x, y);
    if (control && control->OnLButtonDblClk(x, y)) {
        m_capture = nullptr;
        return 1;
    }
    return RouteLButtonDown(x, y);
}

int GDialog::RouteLButtonDrag(int32_t x, int32_t y)
{
    return m_capture ? m_capture->OnLButtonDrag(x, y) : 0;
}

int GDialog::RouteMouseMove(int32_t x, int32_t y)
{
    GBaseControl* control = ControlAt(x, y);
    // While a press is held only its control lights up, and only while the cursor is on it.
    if (m_capture && control != m_capture)
        control = nullptr;
    SetHover(control);
    return control ? 1 : 0;
}

void GDialog::SetHover(GBaseControl* control)
{
    HandOver(m_hover, control, &GBaseControl::SetHovered);
}

GBaseControl* GDialog::AddControl(std::unique_ptr<GBaseControl> control)
{
    if (!control)
        return nullptr;
    GBaseControl* added = control.get();
    m_controls.push_back(std::move(control));
    added->Attach(*this);
    return added;
}

GBaseControl* GDialog::GetControl(int index) const
{
    if (index < 0 || index >= GetControlCount())
        return nullptr;
    return m_controls[static_cast<size_t>(index)].get();
}

GBaseControl* GDialog::FindControl(std::string_view name) const
{
    for (const std::unique_ptr<GBaseControl>& control : m_controls)
        if (control->GetName() == name)
            return control.get();
    return nullptr;
}

GBaseControl* GDialog::ControlAt(int32_t x, int32_t y) const
{
    // Later controls are drawn over earlier ones.
    for (size_t i = m_controls.size(); i-- > 0;) {
        GBaseControl* control = m_controls[i].get();
        if (control->TakesInput() && control->TakesMouse() && control->Contains(x, y))
            return control;
    }
    return nullptr;
}

void GDialog::AddControlListener(std::unique_ptr<GControlListener> listener)
{
    if (listener)
        m_controlListeners.push_back(std::move(listener));
}

void GDialog::OnControlClick(GBaseControl& control)
{
    if (m_system && !control.GetOnClick().empty())
        m_system->ExecuteCommandList(control.GetOnClick().c_str());
    for (size_t i = 0; i < m_controlListeners.size(); ++i)
        m_controlListeners[i]->OnControlClick(*this, control);
}

void GDialog::OnControlLost(GBaseControl& control)
{
    if (m_focus == &control) {
        m_focus = nullptr;
        control.SetFocused(false);
    }
    if (m_hover == &control) {
        m_hover = nullptr;
        control.SetHovered(false);
    }
    if (m_capture == &control)
        m_capture = nullptr;
}

void GDialog::SetFocus(GBaseControl* control)
{
    if (control && (!control->CanFocus() || !control->TakesInput()))
        return;
    HandOver(m_focus, control, &GBaseControl::SetFocused);
}

void GDialog::MoveFocus(int step)
{
    const int count = GetControlCount();
    if (count == 0)
        return;
    int start = -1;
    for (int i = 0; i < count; ++i)
        if (m_controls[static_cast<size_t>(i)].get() == m_focus)
            start = i;
    // Without a focus, forward starts at the first control and backward at the last.
    if (start < 0)
        start = step > 0 ? count - 1 : 0;
    for (int n = 1; n <= count; ++n) {
        const int index = ((start + step * n) % count + count) % count;
        GBaseControl* control = m_controls[static_cast<size_t>(index)].get();
        if (control->CanFocus() && control->TakesInput()) {
            SetFocus(control);
            return;
        }
    }
}

bool GDialog::IsBusy() const
{
    for (const std::unique_ptr<GBaseControl>& control : m_controls)
        if (control->IsBusy())
            return true;
    return false;
}
