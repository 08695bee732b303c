// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_finder.h"
#include "cw_audio.h"
#include "held_tone.h"
#include "keyed_mark.h"
#include "keying_detector.h"
#include "soft_beacon.h"
#include "text_decoder.h"
#include "tick_history.h"
#include "timing.h"
#include "tone_filter.h"
#include "tone_tracker.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cwaudio {

// One tone followed from the baseband through keying and framing to confirmed beacons. The
// decoder runs a lane on the strongest tone and one on the next, so a stronger station beside the
// beacon cannot take it away: whichever lane's keying forms beacons reports them.
class Lane
{
public:
    // `bank`: the spectrum of the decimated samples, shared by the lanes. The samples fed run
    // `lead` samples behind those the bank has had (a blanker's delay), their count in step.
    Lane(const DriftBank& bank, DecodeHandlers handlers, int lead = 0);

    // `newFrame`: the bank added a frame with the last of these samples.
    void feed(std::span<const float> samples, bool newFrame);
    // feed() to two lanes built together and fed the same samples ever since, with the same results
    // in the same order: their tone filters, which see the same delayed samples, run side by side.
    static void feedPair(Lane& first, Lane& second, std::span<const float> samples, bool newFrame);
    // End of input: decides everything still held back and reports what it completes.
    void finish();
    // Live input: finishes a copy of the lane as if the input ended now, and reports what it
    // completes, but only a beacon whose last mark is followed by a word space of quiet already
    // received (an unfinished last character could read as another). The lane goes on unchanged.
    void readEarly();

    // A station another lane has followed a while (below 0: none): a jump onto it is no retuning.
    void setStationElsewhere(double hz) { m_stationElsewhere = hz; }
    // The lane fed beside this one, the same samples in step (none: a lane alone).
    void setPartner(const Lane* partner) { m_partner = partner; }

    ToneTracker& tracker() { return m_tracker; }
    const ToneTracker& tracker() const { return m_tracker; }
    double snrDb() const { return m_detector.snrDb(); }
    double wpm() const;
    // Within this of each other two lanes' tones, or a lane's tone and the one it holds, are the same.
    static constexpr double sameToneHz = 40.0;
    // Whether the lane has held its tone for `seconds`: no jump since, or none that left it for
    // longer than a pause's excursion.
    bool settled(double seconds) const;
    // Whether it holds a keyed station: its tone keyed lately, and keyed as a station's some time
    // since the lane has held it (not a noise peak, nor a tone that has only just come to it).
    bool keying() const;

private:
    // Which marks a beacon search was run on, and at what speed.
    struct SearchedMarks
    {
        std::size_t count = 0;
        double firstStart = -1.0;
        double lastStart = -1.0;
        double dot = 0.0;
        double bias = 0.0;
        bool operator==(const SearchedMarks&) const = default;
    };

    // Where the keyed marks sit among the ticks this lane filters.
    TickScale tickScale() const
    {
        return { static_cast<double>(m_detector.filterLength()), m_filter.outputRate() };
    }
    // Delays `samples` by the tracker's lag and filters them into ticks.
    void filter(std::span<const float> samples);
    // filter() for both lanes, each lane's ticks (and the jumps before them) held for
    // handleHeldTicks().
    static void filterPair(Lane& a, Lane& b, std::span<const float> samples);
    void handleHeldTicks();
    // Both lanes at the same point of the delay line and of the filter's block.
    bool inStepWith(const Lane& other) const;
    // The line's first samples, before it has filled: nothing is filtered.
    void prime(float sample);
    // Writes `samples` into the line where the filter has just read.
    void advanceLine(std::span<const float> samples);
    // The tracker's new estimate, from the frame the bank just added.
    void takeEstimate();
    // Dates the jump the tracker has just seen from the samples still ahead of the filter.
    void redateJump();
    // The input sample the signal path has reached.
    std::int64_t delayedSample() const
    {
        return m_workSamples - static_cast<std::int64_t>(m_delay.size()) - m_lead + m_flushed;
    }
    // Where the noise is read: the signal path's sample, but at the end of the input where it
    // stood as the input ended (the noise for a sample comes from an estimate made a while after
    // it, and for the seconds the delay line held there is none).
    std::int64_t noiseSample() const { return delayedSample() - m_flushed; }
    // The input sample at tick `tick` of the history.
    std::int64_t sampleAt(double tick) const
    {
        return delayedSample() -
            std::llround((static_cast<double>(m_history.end()) - tick) * m_filter.block());
    }
    // Sets the filter to the tone at input sample `sample`, erasing the ticks around a jump.
    void tuneFilter(std::int64_t sample);
    // `sure`: a retuning the samples dated to a block, keyed either side.
    void loseTicksAround(std::int64_t tick, bool sure);
    void processTick(std::complex<float> tick);
    void handleRun(const KeyRun& run);
    void closeGap(const KeyRun& space);
    // `final`: the input has ended, no more ticks will come.
    void evaluate(double endGap, bool final = false);
    // Waiting: for the ticks after the beacon. AlreadyRead: turned down before.
    enum class Reading { Impossible, NotFound, Waiting, AlreadyRead, TurnedDown, Reported };
    // Which marks a beacon was read again from the ticks on: its first and last mark, and how many.
    struct ReadMarks
    {
        double first = -1.0;
        double last = -1.0;
        std::size_t count = 0;
        bool operator==(const ReadMarks&) const = default;
    };
    // Looks for a beacon ending with the last of `marks` (this lane's, or a copy) and reports it
    // when the ticks bear it out; not twice on the same marks (`memo`).
    Reading read(std::vector<KeyedMark>& marks, double endGap, bool final, ReadMarks& memo);
    struct KeptMarks
    {
        std::vector<KeyedMark> marks;
        double endGap;
    };
    // `marks` without the strays among them from mark `from` on (see lane.cpp), their spaces joining
    // the one before; none when there are none.
    std::optional<KeptMarks> withoutStrays(
        const std::vector<KeyedMark>& marks, double endGap, std::size_t from) const;
    void emitText(std::size_t end);
    void trim();
    // A copy reading early: the last mark is followed by a word space of what was received.
    bool endHeard() const;
    // Whether a retuning carried the keying elsewhere within a character space of the end of the
    // marks `last` of a beacon's last character: this lane's spectrum shows a tone come up there
    // that was quiet before, or the partner's tone, unkeyed through those marks, was keyed about
    // as strongly from then on.
    bool keyingWentOnElsewhere(std::span<const KeyedMark> last, double dot) const;
    // Mean power of the ticks [first, last) above the noise's: a keyed tone's, whatever its phase.
    double keyedPower(double first, double last) const;
    // Ticks received since the last mark ended; there must be a mark.
    double quietTicks() const;

    DecodeHandlers m_handlers;
    ToneTracker m_tracker;
    ToneFilter m_filter;
    KeyingDetector m_detector;
    TickHistory m_history;
    ReadMarks m_read; // the beacon last read from the ticks
    ReadMarks m_readKept; // ...and last read without strays
    TextDecoder m_textDecoder;
    std::int64_t m_lead; // the samples fed run this far behind the bank's
    std::int64_t m_skipped = 0; // the first m_lead samples fed come from before the input
    std::vector<float> m_delay; // holds the signal back by the tracker's lag, with m_lead
    std::size_t m_delayPos = 0;
    std::size_t m_primed = 0;
    std::int64_t m_flushed = 0; // how far finish() has pushed the delay line on past where it stood
    SpeedRange m_speedRange;
    std::vector<KeyedMark> m_marks;
    Timing m_timing;
    double m_nextOpenCheck = 0.0;
    SearchedMarks m_fruitless; // the last marks in which no beacon could end
    std::string m_text;
    std::vector<float> m_textConfidence;
    std::int64_t m_workSamples = 0;
    double m_jumpHz; // a larger step of the estimates between two filter blocks is a jump
    double m_estimatedHz = 0.0;
    double m_keyedShareStep; // per estimate of the tracker
    double m_keyedShare = 0.0; // of the tracker's recent estimates that found the tone keyed
    HeldTone m_heldTone;
    std::int64_t m_readingHold; // working-rate samples
    std::int64_t m_lastKeyed = 0; // sample of the last estimate at which that share was high enough
    bool m_early = false; // a copy made by readEarly()
    // Jumps the samples dated, not yet reached by the filter, in order: where the filter takes the
    // new tone, whether that is sure, and how far its phase is turned there.
    struct DatedSwitch
    {
        std::int64_t at;
        bool sure;
        std::optional<std::complex<double>> turn;
    };
    std::vector<DatedSwitch> m_datedJumps;
    double m_stationElsewhere = -1.0;
    const Lane* m_partner = nullptr;
    // Ticks filtered by filterPair() and the jumps among them (before which held tick), not yet
    // handled.
    struct HeldJump
    {
        std::size_t beforeTick;
        std::int64_t tick;
        bool sure;
    };
    struct HeldTick
    {
        std::complex<float> value;
        std::int64_t workSamples; // where the line stood when it was made
    };
    std::vector<HeldTick> m_heldTicks;
    std::vector<HeldJump> m_heldJumps;
    bool m_holdTicks = false;
    double m_earlyResume = 0.0; // tick from which readEarly() looks again
};

} // namespace cwaudio
