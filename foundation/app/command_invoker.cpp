#include "foundation/app/command_invoker.h"

#include <vector>

#include "foundation/app/command.h"
#include "foundation/files/html_log.h"

namespace {

GCommand* AsCommand(intptr_t value)
{
    return reinterpret_cast<GCommand*>(value);
}

intptr_t AsValue(GCommand* command)
{
    return reinterpret_cast<intptr_t>(command);
}

void DeleteAll(GIntArray& commands)
{
    for (uint32_t i = 0; i < commands.GetCount(); ++i)
        delete AsCommand(commands[i]);
    commands.Clear();
}

} // namespace

GCommandInvoker::~GCommandInvoker()
{
    DeleteAll(m_history);
    DeleteAll(m_queue);
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

void GCommandInvoker::SortQueue()
{
    m_queue.Sort(ComparePriority);
}

void GCommandInvoker::Add(GCommand* command)
{
    if (!command)
        return;
    // The invoker owns what it is given: a command that cannot be queued is not leaked.
    if (!m_queue.PushBack(AsValue(command)))
        delete command;
}

void GCommandInvoker::AddByPriority(GCommand* command)
{
    if (!command)
        return;
    uint32_t index = 0;
    while (index < m_queue.GetCount() &&
           AsCommand(m_queue[index])->GetPriority() <= command->GetPriority())
        ++index;
    if (!m_queue.InsertAt(AsValue(command), index))
        delete command;
}

void GCommandInvoker::Execute(int n)
{
    const uint32_t queued = m_queue.GetCount();
    const uint32_t considered = n < 0 ? queued : (static_cast<uint32_t>(n) < queued ? n : queued);
    if (considered == 0)
        return;

    // The considered commands leave the queue before any of them runs. A command may switch
    // the filter, queue new commands or even run the invoker again; none of that can make a
    // command run twice or be deleted twice, because each one is only ever in one place.
    std::vector<GCommand*> batch(considered);
    for (uint32_t i = 0; i < considered; ++i)
        batch[i] = AsCommand(m_queue[i]);
    m_queue.RemoveRange(0, considered);

    std::vector<GCommand*> heldBack;
    for (GCommand* command : batch) {
        if (m_filterOn && command->GetPriority() < m_threshold) {
            heldBack.push_back(command);
            continue;
        }
        command->Execute();
        if (!m_history.PushBack(AsValue(command)))
            delete command;
    }

    // Held-back commands keep their places in front of whatever was queued meanwhile.
    for (uint32_t i = 0; i < heldBack.size(); ++i) {
        if (!m_queue.InsertAt(AsValue(heldBack[i]), i))
            delete heldBack[i];
    }
    TrimHistory();
}

void GCommandInvoker::TrimHistory()
{
    const uint32_t count = m_history.GetCount();
    const uint32_t max = static_cast<uint32_t>(m_historyMax);
    if (count <= max)
        return;
    const uint32_t surplus = count - max;
    for (uint32_t i = 0; i < surplus; ++i)
        delete AsCommand(m_history[i]);
    m_history.RemoveRange(0, surplus);
}

void GCommandInvoker::Undo(int n)
{
    if (n <= 0)
        return;
    const uint32_t count = m_history.GetCount();
    const uint32_t k = static_cast<uint32_t>(n) < count ? n : count;
    for (uint32_t i = 0; i < k; ++i)
        AsCommand(m_history[count - 1 - i])->Undo();
    for (uint32_t i = 0; i < k; ++i)
        delete AsCommand(m_history[count - 1 - i]);
    m_history.RemoveRange(count - k, k);
}

void GCommandInvoker::Dump(GHtmlLog* log) const
{
    if (!log)
        return;
    GString description;
    log->Printf("History: \n");
    for (uint32_t i = 0; i < m_history.GetCount(); ++i)
        log->Printf("\t%s", AsCommand(m_history[i])->GetDescription(description).c_str());
    log->Printf("Command queue: \n");
    for (uint32_t i = 0; i < m_queue.GetCount(); ++i)
        log->Printf("\t%s", AsCommand(m_queue[i])->GetDescription(description).c_str());
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
    if (index < 0 || static_cast<uint32_t>(index) >= m_queue.GetCount())
        return nullptr;
    return AsCommand(m_queue[index]);
}

GCommand* GCommandInvoker::GetHistory(int index) const
{
    if (index < 0 || static_cast<uint32_t>(index) >= m_history.GetCount())
        return nullptr;
    return AsCommand(m_history[index]);
}
