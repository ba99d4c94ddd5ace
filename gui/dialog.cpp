#include "gui/dialog.h"

#include "foundation/app/command_invoker.h"
#include "graphics/scene/clip_array.h"
#include "gui/form_stack_application.h"
#include "gui/gui_commands.h"
#include "graphics/store/graphics_resources.h"
#include "gui/gui_system.h"

int GDialogNormalState::OnUpdate(int)
{
    m_dialog.Present(0);
    return 1;
}

void GDialogAppearState::OnBeginState()
{
    if (GCommandInvoker* invoker = m_dialog.GetSystem() ? m_dialog.GetSystem()->GetInvoker() : nullptr)
        invoker->SetPriorityFilter(kUnfilteredCommandPriority);
}

int GDialogAppearState::OnUpdate(int elapsedMs)
{
    if (!m_shown) {
        m_shown = true;
        m_dialog.Present(1);
    } else {
        m_dialog.Present(0);
        m_remainingMs -= elapsedMs;
    }
    if (m_remainingMs <= 0)
        FinishState();
    return 1;
}

void GDialogAppearState::FinishState()
{
    if (GCommandInvoker* invoker = m_dialog.GetSystem() ? m_dialog.GetSystem()->GetInvoker() : nullptr)
        invoker->ClearPriorityFilter();
    m_dialog.SetState(std::make_unique<GDialogNormalState>(m_dialog));
}

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
    if (!m_system || !m_application)
        return 0;
    m_firstClip = m_system->GetClipArray() ? m_system->GetClipArray()->GetCount() : 0;
    const int result = Init(m_application->GetBackBuffer(), m_system->GetResources(),
                            m_system->GetClipArray(), m_system->GetRectArray());
    SetState(std::make_unique<GDialogAppearState>(*this, appearMs));
    return result;
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
