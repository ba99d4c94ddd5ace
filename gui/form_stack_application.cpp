#include "gui/form_stack_application.h"

#include <cstring>

#include "foundation/app/command_invoker.h"
#include "foundation/app/key_codes.h"
#include "gui/form.h"
#include "gui/gui_system.h"

GFormStackApplication::GFormStackApplication() = default;

GFormStackApplication::~GFormStackApplication()
{
    RemoveAllForms();
}

void GFormStackApplication::RemoveAllForms()
{
    m_activeForm = nullptr;
    m_waiting.clear();
    // Top first, as they were opened last.
    while (!m_forms.empty())
        m_forms.pop_back();
}

void GFormStackApplication::PushForm(std::unique_ptr<GForm> form)
{
    if (form)
        m_forms.push_back(std::move(form));
}

void GFormStackApplication::OpenWhenSettled(std::function<std::unique_ptr<GForm>()> make)
{
    if (!make)
        return;
    m_waiting.push_back(std::move(make));
    OpenWaitingForms();
}

bool GFormStackApplication::HasClosingForm() const
{
    for (const std::unique_ptr<GForm>& form : m_forms)
        if (form->IsClosing())
            return true;
    return false;
}

void GFormStackApplication::OpenWaitingForms()
{
    // A maker may itself ask for another form: it queues behind the ones waiting now.
    while (!m_waiting.empty() && !HasClosingForm()) {
        std::function<std::unique_ptr<GForm>()> make = std::move(m_waiting.front());
        m_waiting.erase(m_waiting.begin());
        OnFormOpening();
        PushForm(make());
    }
}

GForm* GFormStackApplication::GetTopForm() const
{
    return m_forms.empty() ? nullptr : m_forms.back().get();
}

GForm* GFormStackApplication::GetForm(int index) const
{
    if (index < 0 || index >= GetFormCount())
        return nullptr;
    return m_forms[static_cast<size_t>(index)].get();
}

void GFormStackApplication::RemoveFinishedForms()
{
    for (size_t i = m_forms.size(); i-- > 0;) {
        if (m_forms[i]->CanDelete()) {
            if (m_activeForm == m_forms[i].get())
                m_activeForm = nullptr;
            m_forms.erase(m_forms.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    ActivateTopForm();
}

void GFormStackApplication::ActivateTopForm()
{
    GForm* top = GetTopForm();
    if (top && top != m_activeForm) {
        m_activeForm = top;
        top->Activate();
    }
}

void GFormStackApplication::OnFrame(int elapsedMs)
{
    RemoveFinishedForms();
    OpenWaitingForms();
    if (GGuiSystem* system = GGuiSystem::Get()) {
        if (GCommandInvoker* invoker = system->GetInvoker())
            invoker->Execute(-1);
    }
    // A command may have opened a form.
    ActivateTopForm();
    if (GForm* top = GetTopForm())
        top->Update(elapsedMs);
}

void GFormStackApplication::OnLButtonDown(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnLButtonDown(x, y);
}

void GFormStackApplication::OnLButtonUp(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnLButtonUp(x, y);
}

void GFormStackApplication::OnLButtonDblClk(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnLButtonDblClk(x, y);
}

void GFormStackApplication::OnLButtonDrag(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnLButtonDrag(x, y);
}

void GFormStackApplication::OnRButtonDblClk(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnRButtonDblClk(x, y);
}

void GFormStackApplication::OnKeyDown(int key)
{
    // Paste reads the system clipboard before the form takes the text; copy and cut
    // publish what the form left in the GUI's buffer. What an earlier copy left there must not
    // reach the system clipboard again when nothing takes this one (the user may have copied
    // elsewhere since).
    if (key == kKeyPaste)
        ReadClipboard();
    if (key == kKeyCopy || key == kKeyCut) {
        if (char* buffer = GGuiSystem::Get() ? GGuiSystem::Get()->GetClipboardBuffer() : nullptr)
            buffer[0] = '\0';
    }
    if (GForm* top = GetTopForm())
        top->OnKeyDown(key);
    if (key == kKeyCopy || key == kKeyCut)
        WriteClipboard();
}

void GFormStackApplication::OnKeyUp(int key)
{
    if (GForm* top = GetTopForm())
        top->OnKeyUp(key);
}

void GFormStackApplication::OnChar(int code)
{
    if (GForm* top = GetTopForm())
        top->OnChar(code);
}

void GFormStackApplication::OnActivate()
{
    GApplication::OnActivate();
    if (GForm* top = GetTopForm())
        top->OnActivate();
}

void GFormStackApplication::OnDeactivate()
{
    GApplication::OnDeactivate();
    if (GForm* top = GetTopForm())
        top->OnDeactivate();
}

void GFormStackApplication::OnMouseMove(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnMouseMove(x, y);
}

void GFormStackApplication::OnRButtonDown(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnRButtonDown(x, y);
}

void GFormStackApplication::OnRButtonUp(int x, int y)
{
    if (GForm* top = GetTopForm())
        top->OnRButtonUp(x, y);
}

int GFormStackApplication::ReadClipboard()
{
    GGuiSystem* system = GGuiSystem::Get();
    char* buffer = system ? system->GetClipboardBuffer() : nullptr;
    if (!buffer)
        return 0;
    // The buffer keeps room for the terminator. An empty clipboard pastes nothing, not what
    // was copied before.
    const int16_t n = GetClipboardText(buffer, static_cast<int16_t>(GGuiSystem::kClipboardSize - 1));
    if (n == 0)
        buffer[0] = '\0';
    return n;
}

int GFormStackApplication::WriteClipboard()
{
    GGuiSystem* system = GGuiSystem::Get();
    const char* buffer = system ? system->GetClipboardBuffer() : nullptr;
    if (!buffer)
        return 0;
    const size_t length = strnlen(buffer, GGuiSystem::kClipboardSize - 1);
    // Nothing copied leaves the user's clipboard as it was.
    if (length == 0)
        return 0;
    return SetClipboardText(buffer, static_cast<int16_t>(length));
}
