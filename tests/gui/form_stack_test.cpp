// The form stack: input to the top form, the frame tick (finished forms removed, the new top
// activated, queued commands run, the top form updated) and the clipboard pseudo keys.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "foundation/app/key_codes.h"
#include "gui/form.h"
#include "gui/form_stack_application.h"
#include "gui/gui_commands.h"
#include "gui/gui_system.h"
#include "platform/window/clipboard.h"
#include "platform/window/messages.h"
#include "support/gui_store_folder.h"

using namespace platform;

namespace {

using Log = std::vector<std::string>;

class TestForm : public GForm {
public:
    TestForm(const char* name, Log* log) : m_name(name), m_log(log) {}
    ~TestForm() override { Add("deleted"); }

    bool finished = false;
    std::string copyText; // put into the GUI buffer on copy and cut
    std::string pasted;   // what the GUI buffer held on paste

    int OnLButtonDown(int32_t x, int32_t y) override { return Add("down", x, y); }
    int OnLButtonUp(int32_t x, int32_t y) override { return Add("up", x, y); }
    int OnLButtonDblClk(int32_t x, int32_t y) override { return Add("dbl", x, y); }
    int OnLButtonDrag(int32_t x, int32_t y) override { return Add("drag", x, y); }
    int OnRButtonDown(int32_t x, int32_t y) override { return Add("rdown", x, y); }
    int OnRButtonUp(int32_t x, int32_t y) override { return Add("rup", x, y); }
    int OnMouseMove(int32_t x, int32_t y) override { return Add("move", x, y); }
    int OnKeyUp(int32_t key) override { return Add("keyup " + std::to_string(key)); }
    int OnChar(int32_t code) override { return Add("char " + std::to_string(code)); }
    int OnActivate() override { return Add("app-activate"); }
    int OnDeactivate() override { return Add("app-deactivate"); }
    int OnKeyDown(int32_t key) override
    {
        Add("key " + std::to_string(key));
        GGuiSystem* system = GGuiSystem::Get();
        char* buffer = system ? system->GetClipboardBuffer() : nullptr;
        if (!buffer)
            return 1;
        if (key == kKeyCopy || key == kKeyCut)
            std::snprintf(buffer, GGuiSystem::kClipboardSize, "%s", copyText.c_str());
        else if (key == kKeyPaste)
            pasted = buffer;
        return 1;
    }
    int Update(int elapsedMs) override
    {
        Add("update " + std::to_string(elapsedMs));
        return 1;
    }
    bool CanDelete() const override { return finished; }
    void Activate() override { Add("activate"); }
    void Repaint() override { Add("repaint"); }

private:
    int Add(const std::string& what)
    {
        m_log->push_back(m_name + ": " + what);
        return 1;
    }
    int Add(const char* what, int x, int y) { return Add(what + (" " + std::to_string(x)) + "," + std::to_string(y)); }

    std::string m_name;
    Log* m_log;
};

// A queued command that runs the given action.
class ActionCommand : public GNamedCommand {
public:
    explicit ActionCommand(std::function<void()> action) : m_action(std::move(action)) { SetName("cmAction"); }
    void Execute() override { m_action(); }

private:
    std::function<void()> m_action;
};

// Counts close requests and refuses them.
class ClosingApplication : public GFormStackApplication {
public:
    int closes = 0;
    int OnClose() override
    {
        ++closes;
        return 0;
    }
};

class FormStackTest : public testing::Test {
protected:
    void SetUp() override { ClearMessages(); }

    TestForm* Push(const char* name)
    {
        auto form = std::make_unique<TestForm>(name, &log);
        TestForm* raw = form.get();
        app.PushForm(std::move(form));
        return raw;
    }
    Log Take() { return std::exchange(log, {}); }
    // Starts a GUI system on the application; it must outlive the calls that use it.
    void Start(GGuiSystem& system)
    {
        const std::string logPath = m_folder.Path("gui_log.html");
        ASSERT_EQ(system.Init(&app, logPath.c_str()), 1);
    }
    static std::string Clip()
    {
        std::string text;
        EXPECT_TRUE(platform::GetClipboardText(text));
        return text;
    }

    tolvanrise::test::GuiStoreFolder m_folder{"form_stack_"};
    Log log;
    GFormStackApplication app;
};

TEST_F(FormStackTest, WithoutFormsOrGuiSystemNothingHappensWithThemInputGoesToTheTop)
{
    app.WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 10));
    app.WindowProc(WM_KEYDOWN, 'A', 1);
    app.OnFrame(30);
    app.PushForm(nullptr);
    EXPECT_TRUE(app.GetFormCount() == 0 && !app.GetTopForm());
    // Without a GUI system the clipboard is left alone.
    ASSERT_EQ(GGuiSystem::Get(), nullptr);
    EXPECT_EQ(app.ReadClipboard() + app.WriteClipboard(), 0);

    // Input goes to the top form only.
    Push("bottom");
    Push("top");
    const std::tuple<uint32_t, uintptr_t, intptr_t> messages[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 20)}, {WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(11, 21)},
        {WM_LBUTTONUP, 0, MakeLParam(11, 21)},            {WM_LBUTTONDBLCLK, 0, MakeLParam(11, 21)},
        {WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(1, 2)},   {WM_RBUTTONUP, 0, MakeLParam(1, 2)},
        {WM_KEYDOWN, VK_RETURN, 1},                       {WM_CHAR, 13, 1},
        {WM_KEYUP, VK_RETURN, 1},                         {WM_ACTIVATE, WA_INACTIVE, 0},
        {WM_ACTIVATE, WA_ACTIVE, 0}};
    for (auto [message, wParam, lParam] : messages)
        app.WindowProc(message, wParam, lParam);
    EXPECT_EQ(Take(), (Log{"top: down 10,20", "top: drag 11,21", "top: move 11,21", "top: up 11,21",
                           "top: dbl 11,21", "top: rdown 1,2", "top: rup 1,2", "top: key 13",
                           "top: char 13", "top: keyup 13", "top: app-deactivate",
                           "top: app-activate"}));
    EXPECT_FALSE(app.IsInactive());
}

TEST_F(FormStackTest, FrameTickRemovesFinishedFormsActivatesTheNewTopAndRunsQueuedCommands)
{
    TestForm* bottom = Push("bottom");
    TestForm* middle = Push("middle");
    TestForm* top = Push("top");
    app.OnFrame(31);
    EXPECT_EQ(Take(), (Log{"top: activate", "top: update 31"}));
    app.OnFrame(30);
    EXPECT_EQ(Take(), Log{"top: update 30"}); // activated once only

    // A finished form below the top goes without changing the top.
    middle->finished = true;
    app.OnFrame(30);
    EXPECT_EQ(Take(), (Log{"middle: deleted", "top: update 30"}));
    EXPECT_EQ(app.GetFormCount(), 2);

    top->finished = true;
    app.OnFrame(33);
    EXPECT_EQ(Take(), (Log{"top: deleted", "bottom: activate", "bottom: update 33"}));
    EXPECT_EQ(std::make_tuple(app.GetTopForm(), app.GetForm(0), app.GetForm(1), app.GetForm(-1)),
              std::make_tuple(static_cast<GForm*>(bottom), static_cast<GForm*>(bottom), nullptr, nullptr));

    bottom->finished = true;
    app.OnFrame(30);
    EXPECT_EQ(Take(), Log{"bottom: deleted"});
    EXPECT_EQ(app.GetFormCount(), 0);

    // Queued commands run before the update.
    GGuiSystem system;
    Start(system);
    Push("only");
    int runs = 0;
    system.GetInvoker()->Add(std::unique_ptr<GCommand>(new ActionCommand([&] { ++runs; })));
    system.GetInvoker()->Add(std::unique_ptr<GCommand>(new ActionCommand([&] { ++runs; })));
    // Opens a form when it runs, as "cmShowDialog" does.
    system.GetInvoker()->Add(std::unique_ptr<GCommand>(new ActionCommand([&] { Push("opened"); })));
    app.OnFrame(30);
    EXPECT_EQ(std::tuple(runs, system.GetInvoker()->GetQueueCount()), std::tuple(2, 0));
    // The form a command opened is the top: activated and updated in the same tick.
    EXPECT_EQ(Take(), (Log{"only: activate", "opened: activate", "opened: update 30"}));
}

TEST_F(FormStackTest, GuiCommandsRepaintTheTopFormAndCloseTheApplication)
{
    GGuiSystem system;
    Start(system);
    Push("bottom");
    Push("top");
    ASSERT_EQ(system.ExecuteCommandList("cmRepaintTopDialog"), 1);
    system.GetInvoker()->Execute(-1);
    EXPECT_EQ(Take(), Log{"top: repaint"});
    app.RemoveAllForms();
    EXPECT_EQ(Take(), (Log{"top: deleted", "bottom: deleted"}));
    system.ExecuteCommandList("cmRepaintTopDialog"); // no form: nothing to repaint
    system.GetInvoker()->Execute(-1);
    EXPECT_EQ(Take(), Log{});

    ClosingApplication closing;
    GCloseCommand close(&closing), nowhere(nullptr);
    EXPECT_EQ(std::tuple(close.Run(), nowhere.Run(), closing.closes), std::tuple(1, 0, 1));
    close.Execute();
    nowhere.Execute();
    EXPECT_EQ(closing.closes, 2);
}

TEST_F(FormStackTest, ClipboardPseudoKeysMoveTextThroughTheGuiBufferCutToItsSize)
{
    GGuiSystem system;
    Start(system);
    TestForm* form = Push("edit");
    // Before anything was ever put on the clipboard, a paste finds nothing, not what the buffer
    // held.
    std::snprintf(system.GetClipboardBuffer(), GGuiSystem::kClipboardSize, "stale");
    EXPECT_EQ(app.ReadClipboard(), 0);
    EXPECT_EQ(std::string(system.GetClipboardBuffer()), "");

    struct Step {
        std::vector<std::pair<uint32_t, uintptr_t>> keys;
        const char* copyText; // what the form puts into the buffer on copy and cut
        const char* outside;  // put on the system clipboard first, when given
        const char* clip;     // the system clipboard afterwards, when given
        const char* pasted;   // what the form saw on paste, when given
    };
    const Step steps[] = {
        // Ctrl+C: the form fills the buffer, then the text goes to the system clipboard.
        {{{WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, 'C'}}, "copied text", nullptr, "copied text", nullptr},
        // Ctrl+V: the system clipboard is read into the buffer before the form sees the key.
        {{{WM_KEYDOWN, 'V'}}, "", "from outside", nullptr, "from outside"},
        // Shift+Delete cuts, Shift+Insert pastes, Ctrl+Insert copies.
        {{{WM_KEYUP, VK_CONTROL}, {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, VK_DELETE}}, "cut", nullptr, "cut", nullptr},
        {{{WM_KEYDOWN, VK_INSERT}}, "", "pasted", nullptr, "pasted"},
        {{{WM_KEYUP, VK_SHIFT}, {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, VK_INSERT}}, "ins", nullptr, "ins", nullptr},
        // Ctrl+Delete is a plain Delete: nothing moves.
        {{{WM_KEYDOWN, VK_DELETE}}, "not this", nullptr, "ins", nullptr},
        // Copying with nothing selected keeps what the user had on the clipboard.
        {{{WM_KEYDOWN, 'C'}, {WM_KEYUP, VK_CONTROL}}, "", nullptr, "ins", nullptr},
    };
    for (const Step& step : steps) {
        form->copyText = step.copyText;
        EXPECT_TRUE(!step.outside || platform::SetClipboardText(step.outside, std::strlen(step.outside)));
        for (auto [message, key] : step.keys)
            app.WindowProc(message, key, message == WM_KEYUP ? 1 | kKeyReleaseBit : 1);
        EXPECT_TRUE(!step.clip || Clip() == step.clip) << step.clip;
        EXPECT_TRUE(!step.pasted || form->pasted == step.pasted) << form->pasted;
    }

    Log keys;
    for (const std::string& line : Take())
        if (line.rfind("edit: key ", 0) == 0)
            keys.push_back(line.substr(10));
    EXPECT_EQ(keys, (Log{"17", "32768", "32769", "16", "32770", "32769", "17", "32768", "46", "32768"}));

    // An empty clipboard pastes nothing, not what the buffer held before.
    std::snprintf(system.GetClipboardBuffer(), GGuiSystem::kClipboardSize, "stale");
    ASSERT_TRUE(platform::SetClipboardText("", 0));
    app.WindowProc(WM_KEYDOWN, VK_SHIFT, 1);
    app.WindowProc(WM_KEYDOWN, VK_INSERT, 1);
    app.WindowProc(WM_KEYUP, VK_SHIFT, 1 | kKeyReleaseBit);
    EXPECT_EQ(form->pasted, "");

    // Long clipboard text is cut to the buffer.
    const std::string longText(5000, 'x');
    ASSERT_TRUE(platform::SetClipboardText(longText.data(), longText.size()));
    const int read = app.ReadClipboard();
    EXPECT_EQ(std::tuple(read, std::strlen(system.GetClipboardBuffer()), app.WriteClipboard()),
              std::tuple(int(GGuiSystem::kClipboardSize - 1), GGuiSystem::kClipboardSize - 1,
                         int(GGuiSystem::kClipboardSize - 1)));
}

} // namespace
