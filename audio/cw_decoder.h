// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_finder.h"
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

// A beacon heard in the audio, with what the demodulator measured while it was sent.
struct AudioBeacon
{
    QString text; // 19 characters, passes beacon::isBeacon
    std::array<double, beaconLength> confidence {}; // per character, 0..1
    double time = 0.0; // seconds from the start of the input to the first mark
    double wpm = 0.0;
    double toneHz = 0.0;
    double snrDb = 0.0; // tone over noise in 2500 Hz
    double cost = 0.0; // penalty of the chosen reading of the marks
};

struct DecodeHandlers
{
    std::function<void(const AudioBeacon&)> beacon;
    // Raw decoded text as it becomes final, words separated by spaces.
    std::function<void(std::string_view)> text;
};

// Streaming CW demodulator: feed mono samples in blocks of any size; beacons are handed out as soon
// as the space after their last character shows they are complete. Memory stays bounded however
// long the input is.
class CwDecoder
{
public:
    CwDecoder(double sampleRate, DecodeHandlers handlers);

    void feed(std::span<const float> samples);
    // End of input: decides everything still held back and reports what it completes.
    void finish();

    double workingRate() const { return m_decimator.outputRate(); }

private:
    void processWorking(std::span<const float> samples);
    void processTick(std::complex<float> tick);
    void handleRun(const KeyRun& run);
    void closeGap(const KeyRun& space);
    // `final`: the input has ended, no more ticks will come.
    void evaluate(double endGap, bool final = false);
    void emitText(std::size_t end);
    void trim();

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
};

} // namespace cwaudio
