#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "foundation/files/html_log.h"
#include "gui/command_factory.h"
#include "gui/gui_commands.h"
#include "gui/gui_system.h"
#include "support/failing_allocations.h"
#include "support/gui_store_folder.h"

namespace {

struct Made {
    std::string name;
    std::vector<std::string> parameters;
};

class RecordedCommand : public GNamedCommand {
public:
    explicit RecordedCommand(const char* name) { SetName(name); }
    void Execute() override {}
};

// The game's factory in miniature: knows names starting with "cmGame", falls back on the GUI's.
class RecordingFactory : public GCommandFactory {
public:
    explicit RecordingFactory(GCommandFactory* fallback) : GCommandFactory(fallback) {}
    std::vector<Made> made;

protected:
    GCommand* CreateOwn(const char* name, const GStringArray& parameters, GString& error) override
    {
        if (std::string(name) == "cmGameRefused") {
            error = "Refused here";
            return nullptr;
        }
        if (std::string(name).rfind("cmGame", 0) != 0)
            return nullptr;
        Made entry{name, {}};
        for (uint32_t i = 0; i < parameters.GetCount(); ++i)
            entry.parameters.push_back(parameters[i].c_str());
        made.push_back(entry);
        return new RecordedCommand(name);
    }
};

class GuiSystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        logPath = m_folder.Path("gui_system_log.html");
        ASSERT_EQ(system.Init(nullptr, logPath.c_str()), 1);
        auto owned = std::make_unique<RecordingFactory>(system.GetGuiCommandFactory());
        factory = owned.get();
        system.SetCommandFactory(std::move(owned));
    }

    std::vector<std::string> QueuedNames()
    {
        std::vector<std::string> names;
        GString name;
        for (int i = 0; i < system.GetInvoker()->GetQueueCount(); ++i)
            names.push_back(system.GetInvoker()->GetQueued(i)->GetName(name).c_str());
        return names;
    }

    tolvanrise::test::GuiStoreFolder m_folder{"gui_system_"};
    std::string logPath;
    GGuiSystem system;
    RecordingFactory* factory = nullptr;
};

} // namespace

TEST_F(GuiSystemTest, ListSplitsAtSemicolonsWithParametersInParentheses)
{
    EXPECT_EQ(GGuiSystem::Get(), &system);
    const int count = system.ExecuteCommandList(" cmGameA ; cmGameShow(how_to_play.cfg);;cmGameB( 1, two ,3);cmGameC(a;b)");
    EXPECT_EQ(count, 4);
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"cmGameA", "cmGameShow", "cmGameB", "cmGameC"}));
    std::vector<std::vector<std::string>> parameters;
    for (const Made& made : factory->made)
        parameters.push_back(made.parameters);
    EXPECT_EQ(parameters, (std::vector<std::vector<std::string>>{{}, {"how_to_play.cfg"}, {"1", "two", "3"}, {"a;b"}}));
    EXPECT_EQ(system.ExecuteCommandList("") + system.ExecuteCommandList(nullptr), 0);
}

TEST_F(GuiSystemTest, UnknownNamesAreLoggedAndNotQueued)
{
    EXPECT_EQ(system.ExecuteCommand("cmNoSuch", nullptr) + system.ExecuteCommand("cmNoSuch2", "x,y"), 0);
    EXPECT_EQ(std::tuple(system.GetInvoker()->GetQueueCount(), system.GetLog()->GetErrorCount()), std::tuple(0, 2));
    const std::string text = tolvanrise::test::ReadFileBytes(logPath);
    EXPECT_NE(text.find("Cannot create command: cmNoSuch without parameters. Error description: Unknown command\n"),
              std::string::npos);
    EXPECT_NE(text.find("Cannot create command: cmNoSuch2 with parameters: x,y. Error description: Unknown command\n"),
              std::string::npos);
    // A factory's own reason is kept.
    EXPECT_EQ(system.ExecuteCommand("cmGameRefused", nullptr), 0);
    EXPECT_NE(tolvanrise::test::ReadFileBytes(logPath).find(
                  "cmGameRefused without parameters. Error description: Refused here\n"),
              std::string::npos);
}

TEST_F(GuiSystemTest, GuiCommandsRunThroughTheAppearHold)
{
    GCommandInvoker* invoker = system.GetInvoker();
    invoker->SetPriorityFilter(1024);
    system.ExecuteCommandList("cmGameHeld;cmRepaintTopDialog;cmClose");
    invoker->Execute(-1);
    // Close and repaint pass the hold (and, without an application, act on nothing).
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"cmGameHeld"}));
    EXPECT_TRUE(invoker->IsPriorityFilterOn());

    system.ExecuteCommandList("cmUnLock");
    invoker->Execute(-1);
    EXPECT_FALSE(invoker->IsPriorityFilterOn());
    EXPECT_EQ(invoker->GetQueueCount(), 1); // the held command waits for the next tick
    invoker->Execute(-1);
    EXPECT_EQ(invoker->GetQueueCount(), 0);

    invoker->SetPriorityFilter(1024);
    system.ExecuteCommand("cmCancelWait", nullptr);
    invoker->Execute(-1);
    EXPECT_FALSE(invoker->IsPriorityFilterOn());
}

TEST_F(GuiSystemTest, ListItemsWithoutNamesAndOddParenthesesAreHandled)
{
    using Params = std::vector<std::vector<std::string>>;
    const std::tuple<const char*, int, Params> rows[] = {
        {"(x); ;\t;cmGameA", 1, {{}}},                      // items without a name are skipped
        {" \t\r\ncmGameB\r\n( 1 ,)", 1, {{"1", ""}}},       // blanks of every kind trimmed
        {"cmGameC(a(b;c)d);cmGameD", 2, {{"a(b;c)d"}, {}}}, // nested parentheses keep their ';'
        {"cmGameE(x", 1, {{"x"}}},                          // an unclosed list runs to the end
        {"cmGameF()", 1, {{""}}},                           // one empty parameter
    };
    for (const auto& [text, count, parameters] : rows) {
        factory->made.clear();
        EXPECT_EQ(system.ExecuteCommandList(text), count) << text;
        Params made;
        for (const Made& m : factory->made)
            made.push_back(m.parameters);
        EXPECT_EQ(made, parameters) << text;
    }
}

TEST_F(GuiSystemTest, CommandsNeedAFactoryAndAnInvoker)
{
    system.SetCommandFactory(nullptr); // the GUI's own factory alone
    EXPECT_EQ(std::tuple(system.ExecuteCommand("cmClose", nullptr),
                         system.ExecuteCommand("cmGameA", nullptr)),
              std::tuple(1, 0));
    EXPECT_EQ(QueuedNames(), std::vector<std::string>{"cmClose"});

    system.Shutdown();
    EXPECT_TRUE(!system.GetInvoker() && !system.GetLog() && !system.GetClipboardBuffer() &&
                !system.GetResources() && !system.GetClipArray() && !system.GetRectArray() &&
                !system.GetGuiCommandFactory() && !system.GetOldFontManager() &&
                !system.GetBmpFontManager() && !system.GetXmlDataDoc() && !system.GetDictionary());
    EXPECT_EQ(system.ExecuteCommand("cmClose", "x"), 0); // no factory, no log: refused quietly
    system.SetCommandFactory(std::make_unique<RecordingFactory>(nullptr));
    EXPECT_EQ(system.ExecuteCommand("cmGameA", nullptr),
              0); // made, then dropped: nothing to queue it on
}

TEST(GuiSystemCurrent, TheLastMadeIsCurrentUntilItGoes)
{
    auto first = std::make_unique<GGuiSystem>();
    auto second = std::make_unique<GGuiSystem>();
    EXPECT_EQ(GGuiSystem::Get(), second.get());
    first.reset();
    EXPECT_EQ(GGuiSystem::Get(), second.get());
    second.reset();
    EXPECT_EQ(GGuiSystem::Get(), nullptr);
}

// The last array allocations of the start-up (the clip and rect arrays and the clipboard; the
// bitmap store before them treats running out as fatal) failing in turn: the start fails, and
// only a start with every part reports success.
TEST(GuiSystemStart, EachLateFailedArrayAllocationFailsTheStart)
{
    tolvanrise::test::GuiStoreFolder folder{"gui_start_"};
    const std::string logPath = folder.Path("start_log.html");
    auto whole = [](const GGuiSystem& system) {
        return system.GetLog() && system.GetResources() && system.GetClipArray() &&
               system.GetRectArray() && system.GetClipboardBuffer() && system.GetInvoker() &&
               system.GetGuiCommandFactory() && system.GetOldFontManager() &&
               system.GetBmpFontManager() && system.GetXmlDataDoc() && system.GetDictionary();
    };
    constexpr int kPlenty = 1 << 30;
    int total = 0;
    {
        GGuiSystem system;
        FailArrayAllocationsAfter count(kPlenty);
        ASSERT_EQ(system.Init(nullptr, logPath.c_str()), 1);
        total = kPlenty - g_nothrowArraysLeft.load();
        EXPECT_TRUE(whole(system));
    }
    ASSERT_GE(total, 3);
    for (int last = 1; last <= 3; ++last) {
        GGuiSystem system;
        FailArrayAllocationsAfter fail(total - last);
        EXPECT_EQ(system.Init(nullptr, logPath.c_str()), 0) << last;
        EXPECT_FALSE(whole(system)) << last;
    }

    // The same for single objects: the log and the store first, then each part made last.
    int objects = 0;
    {
        GGuiSystem system;
        FailObjectAllocationsAfter count(kPlenty);
        ASSERT_EQ(system.Init(nullptr, logPath.c_str()), 1);
        objects = kPlenty - g_nothrowObjectsLeft.load();
    }
    ASSERT_GE(objects, 8);
    for (int fail : {0, 1, objects - 5, objects - 4, objects - 3, objects - 2, objects - 1}) {
        GGuiSystem system;
        FailObjectAllocationsAfter failing(fail);
        EXPECT_EQ(system.Init(nullptr, logPath.c_str()), 0) << fail;
        EXPECT_FALSE(whole(system)) << fail;
    }
}
