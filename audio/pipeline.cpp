// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline.h"

#include "vector_state.h"

#include <algorithm>
#include <cmath>

namespace cwaudio {

namespace {

constexpr std::size_t chunk = 4096;
constexpr double statusSeconds = 0.1;
// One beacon read by both lanes starts at nearly the same moment.
constexpr double sameBeaconSeconds = 5.0;
constexpr std::size_t rememberedBeacons = 8;
constexpr double recentJumpSeconds = 2.0;
// ...and only to a lane that has held its station that long: not one that just found the beacon
// retuned a moment before the first lane did, but one that has read a beacon's first seconds while
// the first lane was on another station (which paused, and the first lane came over).
constexpr double swapSettledSeconds = 2.5;
// A lane whose tone has not jumped for this long holds a station, not a peak it passed through.
constexpr double settledSeconds = 5.0;
// A lane on a keyed station, not on a noise peak, shows at least this SNR.
constexpr double keyedStationDb = -3.0;

} // namespace

Pipeline::Pipeline(double sampleRate, DecodeHandlers handlers)
    : m_handlers(std::move(handlers))
    , m_decimator(sampleRate)
    , m_blanker(m_decimator.outputRate())
    , m_bank(m_decimator.outputRate())
    , m_inputRate(sampleRate)
    , m_statusEvery(std::max<std::int64_t>(1, std::llround(statusSeconds * sampleRate)))
    , m_nextStatus(m_statusEvery)
{
    for (std::size_t k = 0; k < m_lanes.size(); ++k) {
        DecodeHandlers lane;
        lane.beacon = [this, k](const AudioBeacon& b) { report(k, b); };
        // The raw text is the first lane's.
        lane.text = [this, k](std::string_view text, std::span<const float> confidence) {
            if (m_laneIds[0] == k && m_handlers.text) {
                m_handlers.text(text, confidence);
            }
        };
        m_lanes[k] = std::make_unique<Lane>(m_bank, std::move(lane), m_blanker.delay());
    }
    m_lanes[0]->setPartner(m_lanes[1].get());
    m_lanes[1]->setPartner(m_lanes[0].get());
    m_work.reserve(chunk);
}

void Pipeline::feed(std::span<const float> samples)
{
    while (!samples.empty()) {
        // The handlers called below may have run AVX code.
        clearUpperVectorState();
        // Blocks end where a status is due, so it describes the input up to that moment.
        const auto untilStatus =
            static_cast<std::size_t>(std::max<std::int64_t>(1, m_nextStatus - m_samplesIn));
        const std::size_t n = std::min({ samples.size(), chunk, untilStatus });
        m_work.clear();
        m_decimator.process(samples.first(n), m_work); // the working rate
        processWork();
        // The second lane follows the strongest tone the first is not on. Where the first has moved
        // onto the second's tone (the other station rose while the beacon paused, or keyed less
        // for a while), the second, which holds that station's keying, becomes the first, and the
        // first goes back. Its keying, not its SNR, tells a station from a noise peak: a beacon
        // that has just begun again after its pause still shows the pause's SNR.
        if (std::abs(m_lanes[0]->tracker().frequency() - m_lanes[1]->tracker().frequency()) <
                Lane::sameToneHz &&
            m_lanes[0]->tracker().jumpedWithin(recentJumpSeconds) &&
            m_lanes[1]->settled(swapSettledSeconds) && m_lanes[1]->tracker().locked() &&
            m_lanes[1]->keying()) {
            std::swap(m_lanes[0], m_lanes[1]);
            std::swap(m_laneIds[0], m_laneIds[1]);
        }
        m_lanes[1]->tracker().avoid(m_lanes[0]->tracker().frequency());
        // A lane moving onto the keyed station the other has held a while is changing station, not
        // retuned (onto a noise peak the other follows it may well be retuned).
        for (std::size_t k = 0; k < m_lanes.size(); ++k) {
            const Lane& other = *m_lanes[1 - k];
            const bool station = other.tracker().locked() && !other.tracker().jumpedWithin(settledSeconds) &&
                other.snrDb() > keyedStationDb;
            m_lanes[k]->setStationElsewhere(station ? other.tracker().frequency() : -1.0);
        }
        m_samplesIn += static_cast<std::int64_t>(n);
        samples = samples.subspan(n);
        readEarlyWhenDue();
        if (m_samplesIn >= m_nextStatus) {
            reportStatus();
            m_nextStatus += m_statusEvery;
        }
    }
}

void Pipeline::processWork()
{
    // The lanes' filters read the samples with crashes blanked, a little behind.
    m_blanked.assign(m_work.begin(), m_work.end());
    m_blanker.process(m_blanked);
    // The spectrum once for both lanes; each lane takes a new estimate from it where a frame
    // ends, then goes on: tone -> keying -> framing -> confirmation.
    for (std::size_t from = 0; from < m_work.size();) {
        bool frame = false;
        const std::size_t taken = m_bank.push(std::span<const float>(m_work).subspan(from), frame);
        Lane::feedPair(
            *m_lanes[0], *m_lanes[1], std::span<const float>(m_blanked).subspan(from, taken), frame);
        from += taken;
    }
}

void Pipeline::finish()
{
    // What the blanker still holds back goes to the lanes.
    clearUpperVectorState();
    m_blanked.assign(static_cast<std::size_t>(m_blanker.delay()), 0.0f);
    m_blanker.process(m_blanked);
    Lane::feedPair(*m_lanes[0], *m_lanes[1], m_blanked, false);
    for (const auto& lane : m_lanes) {
        lane->finish();
    }
}

void Pipeline::setToneHint(double hz)
{
    for (const auto& lane : m_lanes) {
        lane->tracker().setHint(hz);
    }
}

void Pipeline::clearToneHint()
{
    for (const auto& lane : m_lanes) {
        lane->tracker().clearHint();
    }
}

void Pipeline::report(std::size_t lane, const AudioBeacon& beacon)
{
    const bool seen = std::ranges::any_of(m_reported, [&](const Reported& r) {
        return r.text == beacon.text && std::abs(r.time - beacon.time) < sameBeaconSeconds;
    });
    if (seen) {
        return;
    }
    m_reported.push_back({ beacon.text, beacon.time });
    if (m_reported.size() > rememberedBeacons) {
        m_reported.pop_front();
    }
    m_shownLane = m_laneIds[0] == lane ? 0 : 1;
    if (m_handlers.beacon) {
        m_handlers.beacon(beacon);
    }
}

void Pipeline::reportStatus()
{
    if (!m_handlers.status) {
        return;
    }
    const Lane& lane = *m_lanes[m_shownLane];
    DecoderStatus status;
    status.time = static_cast<double>(m_samplesIn) / m_inputRate;
    status.locked = lane.tracker().locked();
    status.toneHz = status.locked ? lane.tracker().frequency() : 0.0;
    status.snrDb = lane.snrDb();
    status.wpm = lane.wpm();
    m_handlers.status(status);
}

} // namespace cwaudio
