#include "foundation/app/command_invoker.h"

#include <cstddef>
#include <iterator>
#include <new>
#include <utility>

#include "foundation/core/int_array.h"
#include "foundation/files/html_log.h"

namespace {

GCommand* AsCommand(intptr_t value)
{
    return reinterpret_cast<GCommand*>(value);
}

// False when the list cannot grow; the command then goes with its holder (a command that
// cannot be queued is not leaked).
template <typename List>
bool InsertAt(List& list, size_t index, std::unique_ptr<GCommand>& command)
{
    try {
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), std::move(command));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

GCommandInvoker::~GCommandInvoker()
{
    // The history goes first, then the queue.
    m_history.clear();
    m_queue.clear();
}

void GCommandInvoker::SetHistorySize(int n)
{
    if (n > 0)
        m_historyMax = n;
}

bool GCommandInvoker::ComparePriority(const intptr_t* a, const intptr_t* b)
{
    return AsCommand(*a)->GetPriority() < AsCommand(*b)->GetPriority();
}

// Sorted by the engine's one quicksort, so commands of equal priority end in the order it
// gives. It runs over the addresses; the holders then take the commands in that order.
void GCommandInvoker::SortQueue()
{
    GIntArray order;
    for (const std::unique_ptr<GCommand>& command : m_queue) {
        if (!order.PushBack(reinterpret_cast<intptr_t>(command.get())))
            return;
    }
    order.Sort(ComparePriority);
    for (std::unique_ptr<GCommand>& command : m_queue)
        command.release();
    for (uint32_t i = 0; i < order.GetCount(); ++i)
        m_queue[i].reset(AsCommand(order[i]));
}

void GCommandInvoker::Add(std::unique_ptr<GCommand> owned)
{
    if (owned)
        InsertAt(m_queue, m_queue.size(), owned);
}

void GCommandInvoker::AddByPriority(std::unique_ptr<GCommand> owned)
{
    if (!owned)
        return;
    size_t index = 0;
    while (index < m_queue.size() && m_queue[index]->GetPriority() <= owned->GetPriority())
        ++index;
    InsertAt(m_queue, index, owned);
}

void GCommandInvoker::Execute(int n)
{
    const size_t queued = m_queue.size();
    const size_t considered = n < 0 ? queued : (static_cast<size_t>(n) < queued ? n : queued);
    if (considered == 0)
        return;

    // The considered commands leave the queue before any of them runs. A command may switch
    // the filter, queue new commands or even run the invoker again; none of that can make a
    // command run twice or be deleted twice, because each one is only ever in one place.
    const auto end = m_queue.begin() + static_cast<std::ptrdiff_t>(considered);
    CommandList batch(std::make_move_iterator(m_queue.begin()), std::make_move_iterator(end));
    m_queue.erase(m_queue.begin(), end);

    CommandList heldBack;
    for (std::unique_ptr<GCommand>& command : batch) {
        if (m_filterOn && command->GetPriority() < m_threshold) {
            InsertAt(heldBack, heldBack.size(), command);
            continue;
        }
        GCommand* running = command.get();
        running->Execute();
        InsertAt(m_history, m_history.size(), command);
    }

    // Held-back commands keep their places in front of whatever was queued meanwhile.
    for (size_t i = 0; i < heldBack.size(); ++i)
        InsertAt(m_queue, i, heldBack[i]);
    TrimHistory();
}

void GCommandInvoker::TrimHistory()
{
    const size_t max = static_cast<size_t>(m_historyMax);
    if (m_history.size() <= max)
        return;
    const auto surplus = static_cast<std::ptrdiff_t>(m_history.size() - max);
    m_history.erase(m_history.begin(), m_history.begin() + surplus);
}

void GCommandInvoker::Undo(int n)
{
    if (n <= 0)
        return;
    const size_t count = m_history.size();
    const size_t k = static_cast<size_t>(n) < count ? n : count;
    for (size_t i = 0; i < k; ++i)
        m_history[count - 1 - i]->Undo();
    // Newest first, as they were undone.
    for (size_t i = 0; i < k; ++i)
        m_history.pop_back();
}

void GCommandInvoker::Dump(GHtmlLog* log) const
{
    if (!log)
        return;
    GString description;
    log->Printf("History: \n");
    for (const std::unique_ptr<GCommand>& command : m_history)
        log->Printf("\t%s", command->GetDescription(description).c_str());
    log->Printf("Command queue: \n");
    for (const std::unique_ptr<GCommand>& command : m_queue)
        log->Printf("\t%s", command->GetDescription(description).c_str());
}

void GCommandInvoker::SetPriorityFilter(int threshold)
{
    m_filterOn = 1;
    m_threshold = threshold;
}

void GCommandInvoker::ClearPriorityFilter()
{
    m_filterOn = 0;
}

GCommand* GCommandInvoker::GetQueued(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_queue.size())
        return nullptr;
    return m_queue[static_cast<size_t>(index)].get();
}

GCommand* GCommandInvoker::GetHistory(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_history.size())
        return nullptr;
    return m_history[static_cast<size_t>(index)].get();
}
