#include "gui/dialog.h"

#include <algorithm>

#include "foundation/app/command_invoker.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/dialog_states.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"

GDialog::GDialog(GFormStackApplication* application, GGuiSystem* system)
    : m_application(application), m_system(system)
{
}

GDialog::~GDialog()
{
    m_state.reset();
    m_retired.reset();
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

void GDialog::Activate()
{
    // Back on top: whatever the dialog above left on the screen is drawn over.
    if (m_activated)
        Repaint();
    m_activated = true;
    GClipContainer::OnActivate();
}

int GDialog::Update(int elapsedMs)
{
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
    return std::any_of(m_listeners.begin(), m_listeners.end(),
                       [](const GDialogStateListener* listener) { return listener->IsBusy(); });
}
