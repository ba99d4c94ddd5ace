#pragma once
// GTimer: the time in milliseconds as a double, from the high-resolution counter when it is
// asked for and the machine has one, else from the 32-bit millisecond tick; plus a lap count
// and lap sum that the application uses to measure each frame's work. It owns nothing
// outside itself. One thread per timer (the main thread in the engine).

#include <cstdint>

class GTimer {
public:
    explicit GTimer(bool wantHighResolution = true);

    // A fresh reading in ms, kept as the last reading. Low-resolution readings wrap after
    // about 49.7 days, as the tick does.
    double QueryTimerMs();
    // Starts a lap at a fresh reading; returns the lap sum so far.
    double StartLap();
    // Ends the lap: one more lap, its duration added to the sum; returns the sum.
    double EndLap();
    // Zero laps and a zero sum; returns 0.
    double Reset();
    double GetLapSum() const { return m_lapSum; }

    bool IsHighResolution() const { return m_highResolution; }
    double GetStartTime() const { return m_startTime; }
    double GetLastReading() const { return m_lastReading; }
    uint32_t GetLapCount() const { return m_lapCount; }

private:
    bool m_highResolution = false;
    double m_msPerCount = 0.001;
    double m_startTime = 0;
    double m_lastReading = 0;
    uint32_t m_lapCount = 0;
    double m_lapSum = 0;
    double m_lapStart = 0;
};
