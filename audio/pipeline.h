// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_finder.h"
#include "cw_audio.h"
#include "decimator.h"
#include "keyed_mark.h"
#include "keying_detector.h"
#include "text_decoder.h"
#include "tick_history.h"
#include "timing.h"
#include "tone_filter.h"
#include "tone_tracker.h"

#include <QString>

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cwaudio {

// The decoder's signal path: samples -> baseband -> keying -> framing -> confirmation.
class Pipeline
{
public:
    Pipeline(double sampleRate, DecodeHandlers handlers);

    void feed(std::span<const float> samples);
    // End of input: decides everything still held back and reports what it completes.
    void finish();

    void setToneHint(double hz) { m_tracker.setHint(hz); }
    void clearToneHint() { m_tracker.clearHint(); }

private:
    void processWorking(std::span<const float> samples);
    void processTick(std::complex<float> tick);
    void handleRun(const KeyRun& run);
    void closeGap(const KeyRun& space);
    // `final`: the input has ended, no more ticks will come.
    void evaluate(double endGap, bool final = false);
    void emitText(std::size_t end);
    void trim();
    void reportStatus();

    DecodeHandlers m_handlers;
    Decimator m_decimator;
    ToneTracker m_tracker;
    ToneFilter m_filter;
    KeyingDetector m_detector;
    TickHistory m_history;
    double m_readFirst = -1.0; // first and last mark of the beacon last read from the ticks
    double m_readLast = -1.0;
    TextDecoder m_textDecoder;
    std::vector<float> m_work;
    std::vector<float> m_delay; // holds the signal back by the tracker's lag
    std::size_t m_delayPos = 0;
    std::size_t m_primed = 0;
    SpeedRange m_speedRange;
    std::vector<KeyedMark> m_marks;
    Timing m_timing;
    double m_nextOpenCheck = 0.0;
    std::string m_text;
    std::vector<float> m_textConfidence;
    std::int64_t m_samplesIn = 0;
    std::int64_t m_nextStatus = 0;
    double m_inputRate;
};

} // namespace cwaudio
