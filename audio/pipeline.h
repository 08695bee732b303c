// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cw_audio.h"
#include "decimator.h"
#include "drift_bank.h"
#include "impulse_blanker.h"
#include "lane.h"

#include <array>
#include <deque>
#include <memory>
#include <vector>

namespace cwaudio {

// The decoder behind CwDecoder: samples -> baseband -> keying -> framing -> confirmation, in lanes.
class Pipeline
{
public:
    Pipeline(double sampleRate, DecodeHandlers handlers);

    void feed(std::span<const float> samples);
    void finish();
    void setToneHint(double hz);
    void clearToneHint();
    // Live input: each lane near a beacon's end is also read early (see Lane::readEarly()).
    void setEarlyReadings(bool on);

private:
    // The working-rate samples in m_work through the spectrum, and blanked through the lanes.
    void processWork();
    void readEarlyWhenDue();
    // `lane`: the id the lane was built with.
    void report(std::size_t lane, const AudioBeacon& beacon);
    void reportStatus();

    struct Reported
    {
        QString text;
        double time;
    };

    DecodeHandlers m_handlers;
    Decimator m_decimator;
    std::vector<float> m_work;
    ImpulseBlanker m_blanker;
    std::vector<float> m_blanked;
    DriftBank m_bank;
    std::array<std::unique_ptr<Lane>, 2> m_lanes;
    std::array<std::size_t, 2> m_laneIds { 0, 1 }; // which lane was built as which, as they swap
    std::deque<Reported> m_reported; // the last few beacons, so two lanes never report one twice
    std::size_t m_shownLane = 0; // the lane the status describes: the last to find a beacon
    double m_inputRate;
    std::int64_t m_samplesIn = 0;
    std::int64_t m_statusEvery;
    std::int64_t m_nextStatus;
    std::int64_t m_earlyEvery = 0; // input samples between early readings; 0: none
    std::int64_t m_nextEarly = 0;
};

} // namespace cwaudio
