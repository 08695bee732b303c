// SPDX-License-Identifier: GPL-3.0-or-later
// Early readings for live input: a lane near a beacon's end is copied and the copy read as if the
// input ended now, so the beacon is reported without waiting for the full look-ahead. The lane
// itself reads the same beacon later; the pipeline reports it once.
#include "lane.h"
#include "pipeline.h"
#include "soft_beacon.h"

#include <algorithm>
#include <cmath>

namespace cwaudio {

namespace {

// How often each lane is read early: a beacon's report waits at most this long for its turn.
constexpr double earlySeconds = 0.25;
// Keying this recent may still be a beacon going on: its end may lie in the look-ahead.
constexpr double recentKeyingSeconds = 4.0;
// Fewer marks than this held, and no beacon can end within the look-ahead.
constexpr std::size_t minEarlyMarks = 12;
// After a beacon read early, the lane's own reading catches up with it meanwhile.
constexpr double afterReportSeconds = 5.0;

} // namespace

void Lane::readEarly()
{
    const double tickRate = m_filter.outputRate();
    const auto now = static_cast<double>(m_history.end());
    if (!m_tracker.locked() || m_marks.size() < minEarlyMarks || now < m_earlyResume) {
        return;
    }
    if (quietTicks() > recentKeyingSeconds * tickRate) {
        return;
    }
    Lane copy(*this);
    copy.m_early = true;
    copy.m_handlers.text = nullptr;
    copy.m_handlers.status = nullptr;
    bool reported = false;
    copy.m_handlers.beacon = [this, &reported](const AudioBeacon& beacon) {
        reported = true;
        if (m_handlers.beacon) {
            m_handlers.beacon(beacon);
        }
    };
    copy.finish();
    if (reported) {
        m_earlyResume = now + afterReportSeconds * tickRate;
    }
}

bool Lane::endHeard() const
{
    if (m_marks.empty() || !m_timing.known()) {
        return false;
    }
    return classifyGap(quietTicks(), m_timing) == GapClass::Word;
}

double Lane::quietTicks() const
{
    return static_cast<double>(m_history.end()) - keyedEnd(m_marks.back(), tickScale());
}

void Pipeline::setEarlyReadings(bool on)
{
    m_earlyEvery = on ? std::max<std::int64_t>(1, std::llround(earlySeconds * m_inputRate)) : 0;
    m_nextEarly = m_samplesIn + m_earlyEvery;
}

void Pipeline::readEarlyWhenDue()
{
    if (m_earlyEvery == 0 || m_samplesIn < m_nextEarly) {
        return;
    }
    m_nextEarly = m_samplesIn + m_earlyEvery;
    for (const auto& lane : m_lanes) {
        lane->readEarly();
    }
}

} // namespace cwaudio
