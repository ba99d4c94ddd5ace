#include "foundation/app/timer.h"

#include "platform/system/time.h"

GTimer::GTimer(bool wantHighResolution)
{
    if (wantHighResolution) {
        const int64_t frequency = platform::GetHighResFrequency();
        if (frequency > 0) {
            m_highResolution = true;
            m_msPerCount = 1000.0 / static_cast<double>(frequency);
        }
    }
    m_startTime = QueryTimerMs();
}

double GTimer::QueryTimerMs()
{
    if (m_highResolution)
        m_lastReading = static_cast<double>(platform::GetHighResCounter()) * m_msPerCount;
    else
        m_lastReading = static_cast<double>(platform::GetTickMs());
    return m_lastReading;
}

double GTimer::StartLap()
{
    m_lapStart = QueryTimerMs();
    return m_lapSum;
}

double GTimer::EndLap()
{
    const double now = QueryTimerMs();
    ++m_lapCount;
    m_lapSum += now - m_lapStart;
    return m_lapSum;
}

double GTimer::Reset()
{
    m_lapCount = 0;
    m_lapSum = 0;
    return 0;
}
