#pragma once
// The one queue of commands of the GUI. Commands wait until the frame tick calls Execute, then
// move into a bounded history from which they can be undone. While the priority filter is on,
// commands below the threshold are held back in their places. The invoker owns every command it
// has been given. Main thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/app/command.h"

class GHtmlLog;

class GCommandInvoker {
public:
    GCommandInvoker() = default;
    GCommandInvoker(const GCommandInvoker&) = delete;
    GCommandInvoker& operator=(const GCommandInvoker&) = delete;
    virtual ~GCommandInvoker();

    // n > 0 only; other values keep the old maximum.
    virtual void SetHistorySize(int n);
    // Ascending priority; not stable.
    virtual void SortQueue();
    // Null is ignored.
    virtual void Add(std::unique_ptr<GCommand> command);
    // In front of the first queued command of greater priority; null is ignored.
    virtual void AddByPriority(std::unique_ptr<GCommand> command);
    // Runs up to n of the commands queued when the call starts (n < 0: all of them).
    virtual void Execute(int n);
    virtual void Undo(int n);
    virtual void Dump(GHtmlLog* log) const;
    virtual void SetPriorityFilter(int threshold);
    virtual void ClearPriorityFilter();
    virtual int IsPriorityFilterOn() const { return m_filterOn; }

    int GetHistoryCount() const { return static_cast<int>(m_history.size()); }
    int GetQueueCount() const { return static_cast<int>(m_queue.size()); }
    GCommand* GetQueued(int index) const;
    GCommand* GetHistory(int index) const;
    int GetPriorityThreshold() const { return m_threshold; }

    // The queue's order: a and b point at command addresses held as integers.
    static bool ComparePriority(const intptr_t* a, const intptr_t* b);

private:
    using CommandList = std::vector<std::unique_ptr<GCommand>>;

    void TrimHistory();

    int m_historyMax = 1;
    CommandList m_queue;   // executed from index 0
    CommandList m_history; // oldest first
    int m_threshold = -1;
    int m_filterOn = 0;
};
