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
                                        GString&) override
    {
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
    EXPECT_NE(text.find("Cannot create command: cmNoSuch without parameters. Error description: "
                        "Unknown command\n"),
              std::string::npos);
    EXPECT_NE(text.find("Cannot create command: cmNoSuch2 with parameters: x,y. Error description: "
                        "Unknown command\n"),
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
