#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "foundation/files/html_log.h"
#include "gui/command_factory.h"
#include "gui/gui_commands.h"
#include "gui/gui_system.h"
#include "support/child_process.h"
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
    std::unique_ptr<GCommand> CreateOwn(const char* name, const GStringArray& parameters,
                                        GString& error) override
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
        return std::make_unique<RecordedCommand>(name);
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
    const int count = system.ExecuteCommandList(
        " cmGameA ; cmGameShow(how_to_play.cfg);;cmGameB( 1, two ,3);cmGameC(a;b)");
    EXPECT_EQ(count, 4);
    EXPECT_EQ(QueuedNames(),
              (std::vector<std::string>{"cmGameA", "cmGameShow", "cmGameB", "cmGameC"}));
    std::vector<std::vector<std::string>> parameters;
    for (const Made& made : factory->made)
        parameters.push_back(made.parameters);
    EXPECT_EQ(parameters, (std::vector<std::vector<std::string>>{
                              {}, {"how_to_play.cfg"}, {"1", "two", "3"}, {"a;b"}}));
    EXPECT_EQ(system.ExecuteCommandList("") + system.ExecuteCommandList(nullptr), 0);
}

TEST_F(GuiSystemTest, UnknownNamesAreLoggedAndNotQueued)
{
    EXPECT_EQ(
        system.ExecuteCommand("cmNoSuch", nullptr) + system.ExecuteCommand("cmNoSuch2", "x,y"), 0);
    EXPECT_EQ(std::tuple(system.GetInvoker()->GetQueueCount(), system.GetLog()->GetErrorCount()),
              std::tuple(0, 2));
    const std::string text = tolvanrise::test::ReadFileBytes(logPath);
    EXPECT_NE(text.find("Cannot create command: cmNoSuch without parameters. Error description: "
                        "Unknown command\n"),
              std::string::npos);
    EXPECT_NE(text.find("Cannot create command: cmNoSuch2 with parameters: x,y. Error description: "
                        "Unknown command\n"),
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

    // Every GUI command carries its name; without an application to act on they do nothing.
    system.SetCommandFactory(nullptr);
    const std::vector<std::string> names{"cmShowDialog", "cmDisappearDialog", "cmClose",
                                         "cmUnLock",     "cmCancelWait",      "cmRepaintTopDialog"};
    EXPECT_EQ(system.ExecuteCommandList("cmShowDialog(a.cfg);cmDisappearDialog;cmClose;cmUnLock;"
                                        "cmCancelWait;cmRepaintTopDialog"),
              6);
    EXPECT_EQ(QueuedNames(), names);
    invoker->Execute(-1);
    EXPECT_EQ(invoker->GetQueueCount(), 0);
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

    // The game's factory goes with the GUI's it falls back on: started again, the GUI knows
    // only its own commands until the game installs its factory anew.
    system.Shutdown();
    ASSERT_EQ(system.Init(nullptr, logPath.c_str()), 1);
    EXPECT_EQ(std::tuple(system.ExecuteCommand("cmGameA", nullptr),
                         system.ExecuteCommand("cmClose", nullptr)),
              std::tuple(0, 1));
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

// The start-up's own allocations failing one at a time, arrays and single objects apart, each in
// a child of its own (the bitmap store ends the program when it runs out): a start reports
// success exactly when it has every part.
TEST(GuiSystemStart, EachFailedAllocationFailsTheStart)
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
    for (std::atomic<int>* left : {&g_nothrowArraysLeft, &g_nothrowObjectsLeft}) {
        int total = 0;
        {
            GGuiSystem system;
            *left = kPlenty;
            ASSERT_EQ(system.Init(nullptr, logPath.c_str()), 1);
            total = kPlenty - left->load();
            *left = -1;
            EXPECT_TRUE(whole(system));
        }
        ASSERT_GE(total, 3);
        int failedStarts = 0;
        // The store makes thousands of its own before the parts: the first few and the last
        // forty are the ones the start itself asks for.
        for (int successes = 0; successes < total;
             successes = successes == 2 ? std::max(3, total - 40) : successes + 1) {
            const int status = tolvanrise::test::RunInChild([&] {
                GGuiSystem system;
                g_failOnlyOne = true;
                *left = successes;
                const int started = system.Init(nullptr, logPath.c_str());
                *left = -1;
                // A failure the parts absorb may still give a whole start.
                return whole(system) != (started == 1) ? 99 : started;
            });
            ASSERT_TRUE(WIFEXITED(status)) << successes << " of " << total << ": " << status;
            // 0: a failed start, 1: a whole one; the store's own end exits with its own code.
            EXPECT_NE(WEXITSTATUS(status), 99) << successes << " of " << total;
            failedStarts += WEXITSTATUS(status) == 0;
        }
        EXPECT_GE(failedStarts, 3);
    }
}

// Lists written as a hand-edited file writes them (blanks anywhere between the parts, empty
// items, parameters holding semicolons and parentheses of their own) give back every command
// with its parameters, in order.
TEST_F(GuiSystemTest, RandomListsGiveBackEachCommandAndItsParameters)
{
    std::mt19937 draw(3);
    auto blanks = [&] { return std::string(draw() % 3, " \t"[draw() % 2]); };
    for (int round = 0; round < 300; ++round) {
        std::vector<Made> wanted;
        std::string list = blanks();
        for (int n = static_cast<int>(draw() % 5); n > 0; --n) {
            Made item{"cmGame" + std::string(1 + draw() % 3, static_cast<char>('a' + draw() % 26)),
                      {}};
            list += item.name + blanks();
            const int count = static_cast<int>(draw() % 4);
            for (int p = 0; p < count; ++p) {
                std::string value;
                for (int c = static_cast<int>(draw() % 4); c > 0; --c)
                    value += std::string("ab1._")[draw() % 5];
                if (draw() % 4 == 0)
                    value += "(x;y)";
                item.parameters.push_back(value);
                list += (p ? "," : "(") + blanks() + value + blanks();
            }
            if (count)
                list += ")" + blanks();
            list += std::string(1 + draw() % 2, ';') + blanks();
            wanted.push_back(item);
        }
        factory->made.clear();
        const int before = system.GetInvoker()->GetQueueCount();
        ASSERT_EQ(system.ExecuteCommandList(list.c_str()), static_cast<int>(wanted.size())) << list;
        ASSERT_EQ(system.GetInvoker()->GetQueueCount() - before, static_cast<int>(wanted.size()))
            << list;
        ASSERT_EQ(factory->made.size(), wanted.size()) << list;
        for (size_t i = 0; i < wanted.size(); ++i) {
            ASSERT_EQ(factory->made[i].name, wanted[i].name) << list;
            ASSERT_EQ(factory->made[i].parameters, wanted[i].parameters) << list;
        }
    }
}
