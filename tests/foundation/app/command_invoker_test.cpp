#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "foundation/files/html_log.h"
#include "support/temp_files.h"

namespace {

// Commands alive (a double delete drives it below zero), and the order of runs and undos.
struct Ledger {
    int alive = 0;
    std::vector<std::string> executed, undone;
};

class CountingCommand : public GNamedCommand {
public:
    CountingCommand(Ledger& ledger, const char* name, int priority) : m_ledger(ledger), m_priority(priority)
    {
        SetName(name);
        ++m_ledger.alive;
    }
    ~CountingCommand() override { --m_ledger.alive; }
    void Execute() override
    {
        GString name;
        m_ledger.executed.push_back(GetName(name).c_str());
        if (m_onExecute)
            m_onExecute();
    }
    int Undo() override
    {
        GString name;
        m_ledger.undone.push_back(GetName(name).c_str());
        return 1;
    }
    int GetPriority() const override { return m_priority; }

    template <typename F>
    CountingCommand* OnExecute(F f)
    {
        m_onExecute = f;
        return this;
    }

private:
    Ledger& m_ledger;
    int m_priority;
    std::function<void()> m_onExecute;
};

using Names = std::vector<std::string>;

std::vector<int> QueuePriorities(const GCommandInvoker& invoker)
{
    std::vector<int> result;
    for (int i = 0; i < invoker.GetQueueCount(); ++i)
        result.push_back(invoker.GetQueued(i)->GetPriority());
    return result;
}

Names QueueNames(const GCommandInvoker& invoker)
{
    Names result;
    GString name;
    for (int i = 0; i < invoker.GetQueueCount(); ++i)
        result.push_back(invoker.GetQueued(i)->GetName(name).c_str());
    return result;
}

} // namespace

TEST(CommandInvoker, ExecutesInOrderAndKeepsOnlyTheLastInHistory)
{
    Ledger ledger;
    {
        GCommandInvoker invoker;
        invoker.Execute(-1);
        EXPECT_EQ(invoker.GetHistoryCount(), 0);
        for (const char* name : {"a", "b", "c"})
            invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, name, 0)));
        invoker.Add(nullptr);
        invoker.Execute(-1);
        EXPECT_EQ(ledger.executed, (Names{"a", "b", "c"}));
        ASSERT_EQ(std::tuple(invoker.GetQueueCount(), invoker.GetHistoryCount(), ledger.alive), std::tuple(0, 1, 1));
        GString name;
        EXPECT_STREQ(invoker.GetHistory(0)->GetName(name).c_str(), "c");
    }
    EXPECT_EQ(ledger.alive, 0);
}

TEST(CommandInvoker, FilterHoldsBackLowPriorityInTheirPlaces)
{
    Ledger ledger;
    GCommandInvoker invoker;
    invoker.SetPriorityFilter(1024);
    for (const char* name : {"low1", "high", "low2"})
        invoker.Add(std::unique_ptr<GCommand>(
            new CountingCommand(ledger, name, name[0] == 'h' ? 1024 : 0)));
    invoker.Execute(-1);
    EXPECT_EQ(ledger.executed, (Names{"high"}));
    EXPECT_EQ(QueueNames(invoker), (Names{"low1", "low2"}));

    invoker.ClearPriorityFilter();
    EXPECT_TRUE(invoker.GetPriorityThreshold() == 1024 && !invoker.IsPriorityFilterOn());
    invoker.Execute(-1);
    EXPECT_EQ(ledger.executed, (Names{"high", "low1", "low2"}));

    // The count limits the commands considered, held back or not.
    ledger.executed.clear();
    invoker.SetPriorityFilter(1024);
    for (const char* name : {"a", "b", "c", "d", "e"})
        invoker.Add(std::unique_ptr<GCommand>(
            new CountingCommand(ledger, name, name[0] == 'b' ? 1024 : 0)));
    invoker.Execute(2);
    EXPECT_EQ(ledger.executed, (Names{"b"}));
    EXPECT_EQ(QueueNames(invoker), (Names{"a", "c", "d", "e"}));
}

TEST(CommandInvoker, FilterSwitchedMidway)
{
    Ledger ledger;
    {
        GCommandInvoker invoker;
        invoker.SetHistorySize(100);
        invoker.SetPriorityFilter(1024);
        invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "low1", 0)));
        invoker.Add(
            std::unique_ptr<GCommand>((new CountingCommand(ledger, "unlock", 1024))->OnExecute([&] {
                invoker.ClearPriorityFilter();
            })));
        invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "low2", 0)));
        invoker.Execute(-1);
        // low1 was held back before the unlock ran; low2 came after it and runs.
        EXPECT_EQ(ledger.executed, (Names{"unlock", "low2"}));
        EXPECT_EQ(QueueNames(invoker), (Names{"low1"}));
        invoker.Execute(-1);
        EXPECT_EQ(ledger.executed, (Names{"unlock", "low2", "low1"}));
        EXPECT_EQ(std::tuple(invoker.GetQueueCount(), invoker.GetHistoryCount()), std::tuple(0, 3));
    }
    EXPECT_EQ(ledger.alive, 0);

    // Switched on midway it holds back the rest.
    ledger.executed.clear();
    GCommandInvoker invoker;
    invoker.Add(
        std::unique_ptr<GCommand>((new CountingCommand(ledger, "appear", 0))->OnExecute([&] {
            invoker.SetPriorityFilter(1024);
        })));
    invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "next", 0)));
    invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "close", 1024)));
    invoker.Execute(-1);
    EXPECT_EQ(ledger.executed, (Names{"appear", "close"}));
    EXPECT_EQ(QueueNames(invoker), (Names{"next"}));
}

TEST(CommandInvoker, QueuedDuringExecuteHistoryAndUndo)
{
    Ledger ledger;
    {
        GCommandInvoker invoker;
        invoker.SetHistorySize(10);
        invoker.SetPriorityFilter(1024);
        invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "held", 0)));
        invoker.Add(std::unique_ptr<GCommand>(
            (new CountingCommand(ledger, "spawner", 1024))->OnExecute([&] {
                invoker.Add(
                    std::unique_ptr<GCommand>(new CountingCommand(ledger, "spawned", 1024)));
                // Running the invoker from inside a command must not run anything twice.
                invoker.Execute(-1);
            })));
        invoker.Execute(-1);
        EXPECT_EQ(ledger.executed, (Names{"spawner", "spawned"}));
        EXPECT_EQ(QueueNames(invoker), (Names{"held"}));
    }
    EXPECT_EQ(ledger.alive, 0);

    ledger = Ledger();
    GCommandInvoker invoker;
    invoker.SetHistorySize(0);
    invoker.SetHistorySize(-5);
    invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "a", 0)));
    invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "b", 0)));
    invoker.Execute(-1);
    EXPECT_EQ(invoker.GetHistoryCount(), 1); // the default maximum of 1 survived

    invoker.SetHistorySize(5);
    invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "c", 0)));
    invoker.Execute(-1);
    invoker.Undo(0);
    invoker.Undo(-3);
    EXPECT_EQ(invoker.GetHistoryCount(), 2);
    invoker.Undo(10);
    EXPECT_EQ(ledger.undone, (Names{"c", "b"}));
    EXPECT_EQ(std::tuple(invoker.GetHistoryCount(), ledger.alive), std::tuple(0, 0));
}

TEST(CommandInvoker, SortAddByPriorityAndDump)
{
    Ledger ledger;
    GCommandInvoker invoker;
    for (int p : {5, 0, 1024, 0})
        invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "x", p)));
    invoker.SortQueue();
    EXPECT_EQ(QueuePriorities(invoker), (std::vector<int>{0, 0, 5, 1024}));

    GCommandInvoker byPriority;
    for (int p : {0, 0, 5})
        byPriority.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "x", p)));
    byPriority.AddByPriority(std::unique_ptr<GCommand>(new CountingCommand(ledger, "x", 1)));
    EXPECT_EQ(QueuePriorities(byPriority), (std::vector<int>{0, 0, 1, 5}));

    GCommandInvoker single;
    for (auto [name, p] : {std::pair{"x", 5}, {"first", 0}, {"middle", 0}})
        single.AddByPriority(std::unique_ptr<GCommand>(new CountingCommand(ledger, name, p)));
    EXPECT_EQ(QueueNames(single), (Names{"first", "middle", "x"}));

    // The dump lists the history, then the queue.
    tolvanrise::test::TempFolder folder("command_invoker_");
    const std::string path = folder.Path("invoker_dump.html");
    {
        GHtmlLog log(path.c_str());
        GCommandInvoker invoker;
        invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "cmDone", 0)));
        invoker.Execute(-1);
        invoker.Add(std::unique_ptr<GCommand>(new CountingCommand(ledger, "cmWaiting", 0)));
        invoker.Dump(&log);
        invoker.Dump(nullptr);
    }
    std::string text;
    ASSERT_TRUE(tolvanrise::test::ReadFileBytes(path, text));
    std::vector<size_t> at;
    for (const char* line : {"> History: \n", "> \tcmDone\n", "> Command queue: \n", "> \tcmWaiting\n"})
        at.push_back(text.find(line));
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && at.back() != std::string::npos) << text;
}

namespace {

Names HistoryNames(const GCommandInvoker& invoker)
{
    Names result;
    GString name;
    for (int i = 0; i < invoker.GetHistoryCount(); ++i)
        result.push_back(invoker.GetHistory(i)->GetName(name).c_str());
    return result;
}

// Random mixes of queueing (in order and by priority), running some or all, undoing, resizing the
// history and switching the filter, against a plain model of the queue and the history.
TEST(CommandInvoker, RandomOperationsFollowAPlainModel)
{
    std::mt19937 rng(41);
    Ledger ledger;
    {
        GCommandInvoker invoker;
        std::vector<std::pair<std::string, int>> queue; // name, priority
        Names history, executed, undone;
        size_t historyMax = 1;
        bool filter = false;
        int threshold = -1;
        for (int step = 0; step < 4000; ++step) {
            const int op = int(rng() % 8), priority = int(rng() % 5), n = int(rng() % 6) - 1;
            const std::string name = "c" + std::to_string(step);
            SCOPED_TRACE(testing::Message() << "step " << step << " op " << op << " n " << n);
            if (op == 0) {
                invoker.Add(std::make_unique<CountingCommand>(ledger, name.c_str(), priority));
                queue.emplace_back(name, priority);
            } else if (op == 1) {
                invoker.AddByPriority(std::make_unique<CountingCommand>(ledger, name.c_str(), priority));
                auto at = std::find_if(queue.begin(), queue.end(), [&](const auto& c) { return c.second > priority; });
                queue.insert(at, {name, priority});
            } else if (op == 2) {
                const size_t considered = n < 0 ? queue.size() : std::min<size_t>(size_t(n), queue.size());
                std::vector<std::pair<std::string, int>> held;
                for (size_t i = 0; i < considered; ++i) {
                    if (filter && queue[i].second < threshold) {
                        held.push_back(queue[i]);
                        continue;
                    }
                    executed.push_back(queue[i].first);
                    history.push_back(queue[i].first);
                }
                queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(considered));
                queue.insert(queue.begin(), held.begin(), held.end());
                if (considered > 0 && history.size() > historyMax) // the bound applies as commands move in
                    history.erase(history.begin(), history.end() - std::ptrdiff_t(historyMax));
                invoker.Execute(n);
            } else if (op == 3) {
                for (int k = 0; k < n && !history.empty(); ++k) {
                    undone.push_back(history.back());
                    history.pop_back();
                }
                invoker.Undo(n);
            } else if (op == 4) {
                if (n > 0)
                    historyMax = size_t(n);
                invoker.SetHistorySize(n);
            } else if (op == 5) {
                filter = true, threshold = priority;
                invoker.SetPriorityFilter(priority);
            } else if (op == 6) {
                filter = false;
                invoker.ClearPriorityFilter();
            } else if (queue.size() > 30) { // keep the queue short: everything runs
                invoker.ClearPriorityFilter();
                invoker.Execute(-1);
                filter = false;
                for (const auto& c : queue)
                    executed.push_back(c.first), history.push_back(c.first);
                queue.clear();
                if (history.size() > historyMax)
                    history.erase(history.begin(), history.end() - std::ptrdiff_t(historyMax));
            }
            Names queued;
            for (const auto& c : queue)
                queued.push_back(c.first);
            ASSERT_EQ(QueueNames(invoker), queued);
            ASSERT_EQ(HistoryNames(invoker), history);
            ASSERT_EQ(ledger.executed, executed);
            ASSERT_EQ(ledger.undone, undone);
            ASSERT_EQ(std::make_pair(invoker.IsPriorityFilterOn(), invoker.GetPriorityThreshold() == threshold),
                      std::make_pair(filter ? 1 : 0, true));
            ASSERT_TRUE(!invoker.GetQueued(-1) && !invoker.GetQueued(int(queue.size())) && !invoker.GetHistory(-1) &&
                        !invoker.GetHistory(int(history.size())));
        }
    }
    EXPECT_EQ(ledger.alive, 0);
}

} // namespace
