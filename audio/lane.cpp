// SPDX-License-Identifier: GPL-3.0-or-later
#include "lane.h"

#include "acceptance.h"
#include "jump_dating.h"
#include "median.h"
#include "soft_beacon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <utility>

namespace cwaudio {

namespace {

// Marks kept for the beacon search: a little over two beacons.
constexpr std::size_t keptMarks = std::size_t { 2 } * 19 * 6;
// Text lags this many marks behind, so the speed is known before the first character is read.
constexpr std::size_t textLag = 8;
constexpr std::size_t timingMarks = 48;
constexpr double timingSmoothing = 0.25;
// Below this a 25 WPM dot's energy falls to where the ticks only guess at it (about 9 dB over the
// noise density): no beacon is looked for.
constexpr double minSnrDb = -12.0;
// Below this a dot now and then vanishes from the keying without a trace.
constexpr double faintSnrDb = -9.5;
// Below this the key-down level measured on the marks reads high (see acceptReading).
constexpr double nearFloorSnrDb = -8.0;
// The SNR at the moment of reading this far under the beacon's own is a fade's, not the beacon's.
constexpr double readingFadeDb = 3.0;
// Until the speed has been measured, assume 20 WPM.
constexpr double defaultDotSeconds = 0.06;
// A space this many dots long ends any beacon before it.
constexpr double maxOpenCheck = 12.0;
// A space this many dots long is a word space at any speed a beacon search measures.
constexpr double endlessSpace = 1000.0;
// Ticks of baseband kept for reading a beacon again: a beacon at the slowest speed, and more.
constexpr std::size_t historyTicks = std::size_t { 1 } << 15;
// A mark keyed at under this share of the power of the marks around it (10 dB; the median of this
// many either side), no longer than this many dots, with this many units of space either side, and
// the marks either side at least `steadyShare` of that power, is noise the threshold let through
// where it followed the keying down into a space. Between two such marks, both steady, no fade
// explains an element 5 dB under them (a click, the receiver's AGC pumping in a space).
constexpr double strayPowerShare = 0.1;
constexpr double strayBetweenShare = 0.3;
constexpr std::size_t strayNeighbours = 4;
constexpr double strayDots = 1.5;
constexpr double strayGapUnits = 2.0;
constexpr double steadyShare = 0.5;
// The marks only have to be split into characters plausibly; the ticks then decide which.
constexpr Acceptance markAcceptance { 25.0, 0.0 };
// The filter's tone moving faster than any Doppler is a jump (smoothed over one of the tracker's
// estimates). Where it really fell is known to within the tracker's frame and a hop, and the new
// tone's estimate settles over its quarter-second average: the ticks there keep no steady phase.
constexpr double jumpHzPerSecond = 400.0;
constexpr int phaseLostHopsBefore = 3;
constexpr int phaseLostHopsAfter = 6;
// The jump is dated to within one of the tracker's frames (two hops) either way, and until the
// filter followed it the new tone's keying left no trace.
constexpr int toneLostHops = 2;
// Where the samples date a jump, they do so to within a block or two: a new tone's first estimate
// a dozen hertz off moves the balance between the tones that far.
constexpr int datedJumpBlocks = 2;
// A lane searches its marks for beacons only while its tone has been keyed lately (the second
// lane mostly follows noise, whose marks would be searched in vain): keyed at this share of the
// tracker's estimates over about this long, until this long after.
constexpr double keyedShareSeconds = 5.0;
constexpr double readingShare = 0.15;
constexpr double readingHoldSeconds = 5.0;
// Noise draws the tracker off the tone a lane holds in a pause for at most this long.
constexpr double excursionSeconds = 2.0;
// A station's tone is keyed at this share of the tracker's estimates. A tone found only lately
// cannot be: keyed throughout since, it reaches this share in about 2.5 s, the longest a tracker
// may take to see a jump (a beacon retuned onto where a lane had wandered is not that lane's
// station, while one heard there before its pause is).
constexpr double stationShare = 0.4;
// A jump is looked for in the samples this many of the tracker's hops after where the spectrum
// dated it, and this many before (as far as the line reaches): the averages may show the new
// tone a second late.
constexpr std::int64_t redateHops = 5;
constexpr std::int64_t redateHopsBack = 24;
// Down to this SNR (in 2500 Hz; about 11 dB more in a filter block at 0 dB) a filter block's
// power dates a jump to within a block or two.
constexpr double sharpJumpSnrDb = -3.0;
// Beyond the keying sidebands of a tone the other lane follows, and the spectrum's error in
// placing a new tone.
constexpr double stationNearHz = 100.0;
// A tone that took up the keying after a retuning holds at least this share of the keying's power
// (6 dB under it: a fade may have begun).
constexpr double retunedPowerShare = 0.25;
// How far back a tone that came up elsewhere must have been quiet.
constexpr double quietBeforeSeconds = 2.0;

// The middle of the keying's SNR over `marks`.
double medianSnrDb(std::span<const KeyedMark> marks)
{
    std::vector<double> snr(marks.size());
    std::ranges::transform(marks, snr.begin(), &KeyedMark::snrDb);
    return median(std::move(snr));
}

} // namespace

Lane::Lane(const DriftBank& bank, DecodeHandlers handlers, int lead)
    : m_handlers(std::move(handlers))
    , m_tracker(bank)
    , m_filter(bank.sampleRate())
    , m_detector(m_filter.outputRate())
    , m_history(historyTicks)
    , m_lead(lead)
    , m_delay(static_cast<std::size_t>(m_tracker.lagSamples() - lead), 0.0f)
    , m_speedRange(speedRangeFor(m_filter.outputRate()))
    , m_jumpHz(jumpHzPerSecond * m_filter.block() / bank.sampleRate())
    , m_keyedShareStep(bank.hop() / (keyedShareSeconds * bank.sampleRate()))
    , m_heldTone(sameToneHz, std::llround(excursionSeconds * bank.sampleRate()))
    , m_readingHold(std::llround(readingHoldSeconds * bank.sampleRate()))
{
    m_detector.setDotTicks(defaultDotSeconds * m_filter.outputRate());
}

double Lane::wpm() const
{
    return m_timing.known() ? 1.2 * m_filter.outputRate() / m_timing.dot : 0.0;
}

bool Lane::settled(double seconds) const
{
    const std::int64_t since = m_heldTone.heldSince(m_tracker.frequency());
    return !m_tracker.jumpedWithin(seconds) ||
        (since >= 0 &&
            static_cast<double>(m_workSamples - since) > seconds * m_filter.outputRate() * m_filter.block());
}

bool Lane::keying() const
{
    return m_keyedShare >= readingShare && m_heldTone.keyed() &&
        m_heldTone.heldSince(m_tracker.frequency()) >= 0;
}

void Lane::feed(std::span<const float> samples, bool newFrame)
{
    if (!newFrame || samples.empty()) {
        filter(samples);
        return;
    }
    // The new estimate holds from the frame's last sample on.
    filter(samples.first(samples.size() - 1));
    takeEstimate();
    filter(samples.last(1));
}

void Lane::feedPair(Lane& first, Lane& second, std::span<const float> samples, bool newFrame)
{
    if (!first.inStepWith(second)) {
        first.feed(samples, newFrame);
        second.feed(samples, newFrame);
        return;
    }
    // Up to the estimate, a lane's filter depends on nothing the other lane does; what the ticks
    // set off (marks, beacons) still happens lane by lane, in the order feed() has it.
    const bool estimate = newFrame && !samples.empty();
    filterPair(first, second, estimate ? samples.first(samples.size() - 1) : samples);
    for (Lane* lane : { &first, &second }) {
        lane->handleHeldTicks();
        if (estimate) {
            lane->takeEstimate();
            lane->filter(samples.last(1));
        }
    }
}

void Lane::takeEstimate()
{
    m_tracker.update();
    // Only for a lane that may read a beacon soon: the other's jumps mostly follow noise.
    if (m_tracker.jumpJustSeen() && m_workSamples - m_lastKeyed <= m_readingHold) {
        redateJump();
    }
    m_detector.setNoise(m_tracker.noiseVarianceAt(delayedSample()), m_filter.block());
    m_keyedShare += m_keyedShareStep * ((m_tracker.keyed() ? 1.0 : 0.0) - m_keyedShare);
    m_heldTone.update(m_tracker.frequency(), m_workSamples, m_tracker.keyed(), m_keyedShare >= stationShare);
    if (m_keyedShare >= readingShare) {
        m_lastKeyed = m_workSamples;
    }
}

void Lane::redateJump()
{
    // The spectrum dates a jump to within a frame or two, dots at high speed: the samples still
    // ahead of the filter date it to one of its blocks.
    if (m_primed < m_delay.size()) {
        return;
    }
    const auto block = static_cast<std::int64_t>(m_filter.block());
    const std::int64_t nextBlock = delayedSample() + (m_filter.blockStart() ? 0 : m_filter.remaining());
    const std::int64_t dated = m_tracker.jumpAt();
    // Onto another station's tone, keyed before the jump too: no retuning moved this lane's tone,
    // which fell silent and holds until the jump was seen (the newest input), so the space after a
    // beacon is heard on it and not on that station.
    if (m_stationElsewhere >= 0.0 &&
        std::abs(m_tracker.toneBeside(dated, true) - m_stationElsewhere) < stationNearHz) {
        m_tracker.redateJump(m_workSamples - m_lead);
        return;
    }
    const std::int64_t earliest = std::max(nextBlock + block, dated - redateHopsBack * m_tracker.hop());
    JumpAround around;
    around.first = nextBlock + (earliest - nextBlock + block - 1) / block * block;
    around.last = std::min(m_workSamples - m_lead, dated + redateHops * m_tracker.hop());
    around.samples = { m_delay, m_delayPos, delayedSample() };
    around.block = m_filter.block();
    around.sampleRate = m_filter.outputRate() * m_filter.block();
    around.dated = dated;
    around.oldHz = [this](std::int64_t s) { return m_tracker.toneBeside(s, false); };
    around.newHz = [this](std::int64_t s) { return m_tracker.toneBeside(s, true); };
    around.noiseVariance = m_tracker.noiseVarianceAt(dated);
    around.sharp = m_detector.snrDb() >= sharpJumpSnrDb;
    const DatedJump jump = dateJump(around);
    if (jump.moved) {
        m_tracker.redateJump(jump.at);
    }
    // The block from which the filter holds the new tone.
    const std::int64_t at = nextBlock + (m_tracker.jumpAt() - nextBlock + block - 1) / block * block;
    // Jumps ahead of the filter keep their own dating; one dated before them replaces them.
    std::erase_if(m_datedJumps, [at](const DatedSwitch& d) { return d.at >= at; });
    m_datedJumps.push_back({ at, jump.sure, jump.turn });
}

void Lane::prime(float sample)
{
    if (m_skipped < m_lead) {
        ++m_skipped;
        ++m_workSamples;
        return;
    }
    m_delay[m_delayPos] = sample;
    ++m_workSamples;
    ++m_primed;
    m_delayPos = m_delayPos + 1 == m_delay.size() ? 0 : m_delayPos + 1;
}

void Lane::advanceLine(std::span<const float> samples)
{
    std::copy(samples.begin(), samples.end(), m_delay.begin() + static_cast<std::ptrdiff_t>(m_delayPos));
    m_workSamples += static_cast<std::int64_t>(samples.size());
    m_delayPos = m_delayPos + samples.size() == m_delay.size() ? 0 : m_delayPos + samples.size();
}

void Lane::filter(std::span<const float> samples)
{
    std::complex<float> tick;
    while (!samples.empty()) {
        // The delayed sample's tone, updated once a filter block so a drift is followed smoothly.
        if (m_filter.blockStart()) {
            tuneFilter(delayedSample());
        }
        // The line starts empty: its zeros are no part of the input, and would pass for a noise floor.
        if (m_primed < m_delay.size()) {
            prime(samples.front());
            samples = samples.subspan(1);
            continue;
        }
        // The rest of the filter's block, as far as the line runs on without wrapping.
        const std::size_t n = std::min(
            { samples.size(), static_cast<std::size_t>(m_filter.remaining()), m_delay.size() - m_delayPos });
        const bool complete = m_filter.push(std::span<const float>(m_delay).subspan(m_delayPos, n), tick);
        advanceLine(samples.first(n));
        samples = samples.subspan(n);
        if (complete) {
            processTick(tick);
        }
    }
}

void Lane::filterPair(Lane& a, Lane& b, std::span<const float> samples)
{
    a.m_holdTicks = true;
    b.m_holdTicks = true;
    std::complex<float> tickA;
    std::complex<float> tickB;
    while (!samples.empty()) {
        if (a.m_filter.blockStart()) {
            a.tuneFilter(a.delayedSample());
            b.tuneFilter(b.delayedSample());
        }
        if (a.m_primed < a.m_delay.size()) {
            a.prime(samples.front());
            b.prime(samples.front());
            samples = samples.subspan(1);
            continue;
        }
        const std::size_t n = std::min({ samples.size(), static_cast<std::size_t>(a.m_filter.remaining()),
            a.m_delay.size() - a.m_delayPos });
        // Both lines hold the same samples.
        const bool complete = ToneFilter::pushPair(
            a.m_filter, b.m_filter, std::span<const float>(a.m_delay).subspan(a.m_delayPos, n), tickA, tickB);
        a.advanceLine(samples.first(n));
        b.advanceLine(samples.first(n));
        samples = samples.subspan(n);
        if (complete) {
            a.m_heldTicks.push_back({ tickA, a.m_workSamples });
            b.m_heldTicks.push_back({ tickB, b.m_workSamples });
        }
    }
    a.m_holdTicks = false;
    b.m_holdTicks = false;
}

void Lane::handleHeldTicks()
{
    // Each tick is handled as if the line stood where it did when the tick was made.
    const std::int64_t reached = m_workSamples;
    auto jump = m_heldJumps.begin();
    for (std::size_t i = 0; i < m_heldTicks.size(); ++i) {
        for (; jump != m_heldJumps.end() && jump->beforeTick == i; ++jump) {
            loseTicksAround(jump->tick, jump->sure);
        }
        m_workSamples = m_heldTicks[i].workSamples;
        processTick(m_heldTicks[i].value);
    }
    m_workSamples = reached;
    for (; jump != m_heldJumps.end(); ++jump) {
        loseTicksAround(jump->tick, jump->sure);
    }
    m_heldTicks.clear();
    m_heldJumps.clear();
}

bool Lane::inStepWith(const Lane& other) const
{
    return m_workSamples == other.m_workSamples && m_primed == other.m_primed &&
        m_delayPos == other.m_delayPos && m_delay.size() == other.m_delay.size() &&
        m_filter.remaining() == other.m_filter.remaining() && m_filter.block() == other.m_filter.block();
}

void Lane::tuneFilter(std::int64_t sample)
{
    // A jump shows as a step in the estimates; the path through them may step a little where it
    // begins or ends, which is no jump.
    const ToneTracker::ToneAt tone = m_tracker.toneAt(sample);
    if (m_primed == m_delay.size() && std::abs(tone.estimated - m_estimatedHz) > m_jumpHz) {
        // The tick this block will give, after those still held.
        const std::int64_t tick = m_history.end() + static_cast<std::int64_t>(m_heldTicks.size());
        // A retuning the samples dated and saw keyed either side leaves the filter on the tone.
        const bool sure = std::ranges::any_of(m_datedJumps,
            [&](const DatedSwitch& d) { return d.sure && std::abs(sample - d.at) < m_filter.block(); });
        if (m_holdTicks) {
            m_heldJumps.push_back({ m_heldTicks.size(), tick, sure });
        } else {
            loseTicksAround(tick, sure);
        }
    }
    m_estimatedHz = tone.estimated;
    m_filter.setFrequency(tone.followed);
    while (!m_datedJumps.empty() && m_datedJumps.front().at <= sample) {
        if (m_datedJumps.front().turn) {
            m_filter.turnPhase(*m_datedJumps.front().turn);
        }
        m_datedJumps.erase(m_datedJumps.begin());
    }
}

void Lane::loseTicksAround(std::int64_t tick, bool sure)
{
    const auto hop = static_cast<std::int64_t>(m_tracker.hop() / m_filter.block());
    // Dated from the samples, the jump leaves the filter on the tone, but only as near as the new
    // tone's first estimates put it (a dozen hertz off, a slow dot's null, for a few hops), and
    // from a block or two late or early (a dash split there read as two dots: G as F).
    if (sure) {
        m_history.losePhase(tick - datedJumpBlocks, tick + phaseLostHopsAfter * hop);
        m_history.blurTone(tick - datedJumpBlocks, tick + datedJumpBlocks);
        return;
    }
    m_history.losePhase(tick - phaseLostHopsBefore * hop, tick + phaseLostHopsAfter * hop);
    m_history.loseTone(tick - toneLostHops * hop, tick + toneLostHops * hop + 1);
}

void Lane::processTick(std::complex<float> tick)
{
    m_history.push(tick);
    if (const auto run = m_detector.push(tick)) {
        handleRun(*run);
    }
    // A word space in progress may already end a beacon: report it now, not at the next mark.
    // Tried again as the space grows, for the speed the beacon itself shows may differ a little.
    const double open = m_detector.openSpace();
    if (!m_marks.empty() && m_marks.back().gap < 0.0 && m_timing.known() && open >= m_nextOpenCheck &&
        open <= maxOpenCheck * m_timing.dot && classifyGap(open, m_timing) == GapClass::Word) {
        m_nextOpenCheck = open + m_timing.dot;
        m_marks.back().gap = open;
        const KeyRun space = m_detector.openSpaceRun();
        m_marks.back().gapPeak = space.peak;
        m_marks.back().gapHead = space.head;
        m_marks.back().gapTail = space.tail;
        emitText(m_marks.size());
        evaluate(open);
        if (!m_marks.empty()) {
            m_marks.back().gap = -1.0;
        }
    }
}

void Lane::handleRun(const KeyRun& run)
{
    if (run.mark) {
        m_marks.push_back({ run.start, run.length, -1.0 });
        m_marks.back().snrDb = m_detector.snrDb();
        m_nextOpenCheck = 0.0;
        trim();
        return;
    }
    if (!m_marks.empty() && m_marks.back().gap < 0.0) {
        closeGap(run);
    }
}

void Lane::closeGap(const KeyRun& space)
{
    const double length = space.length;
    m_marks.back().gap = length;
    m_marks.back().gapPeak = space.peak;
    m_marks.back().gapHead = space.head;
    m_marks.back().gapTail = space.tail;
    const std::size_t first = m_marks.size() > timingMarks ? m_marks.size() - timingMarks : 0;
    const Timing measured =
        estimateTiming(std::span<const KeyedMark>(m_marks).subspan(first), m_timing, m_speedRange);
    if (!m_timing.known()) {
        m_timing = measured;
    } else {
        // One burst of noise marks must not throw the speed off; a real change comes through in
        // a few characters.
        m_timing.dot += timingSmoothing * (measured.dot - m_timing.dot);
        m_timing.bias += timingSmoothing * (measured.bias - m_timing.bias);
    }
    if (m_timing.known()) {
        m_detector.setDotTicks(m_timing.dot);
    }
    const bool word = m_timing.known() && classifyGap(length, m_timing) == GapClass::Word;
    emitText(word ? m_marks.size() : (m_marks.size() > textLag ? m_marks.size() - textLag : 0));
    if (word) {
        evaluate(length);
    }
}

bool Lane::keyingWentOnElsewhere(std::span<const KeyedMark> last, double dot) const
{
    if (last.empty()) {
        return false;
    }
    const TickScale scale = tickScale();
    const double from = keyedStart(last.front(), scale);
    const double end = keyedEnd(last.back(), scale);
    // This lane's own spectrum shows a retuning too, where the partner does not follow the new
    // tone, coming up within a character space of the end.
    const double tickRate = m_filter.outputRate();
    if (m_tracker.toneCameUpElsewhere(sampleAt(end - 0.5 * dot), sampleAt(end + 4.0 * dot),
            sampleAt(end) - sampleAt(end - quietBeforeSeconds * tickRate))) {
        return true;
    }
    if (m_partner == nullptr) {
        return false;
    }
    // A station the partner held before the beacon's last character keys on its own time; a
    // retuning's tone is new to it.
    if (m_partner->m_tracker.jumpSeenAt() < sampleAt(from)) {
        return false;
    }
    // The ticks of both lanes count alike (see inStepWith). A retuning's new tone takes up the
    // keying within a character space (3 units and a hand's slack), for at least an element's
    // length, and was silent before it.
    const TickScale partnerScale = m_partner->tickScale();
    double keyedThere = 0.0;
    double energyThere = 0.0;
    for (const KeyedMark& mark : m_partner->m_marks) {
        const double start = keyedStart(mark, partnerScale);
        if (keyedEnd(mark, partnerScale) > from && start < end - 0.5 * dot) {
            return false;
        }
        if (start >= end - 0.5 * dot && start <= end + 4.0 * dot) {
            keyedThere += mark.length;
            energyThere += mark.length * m_partner->keyedPower(start, start + mark.length);
        }
    }
    if (keyedThere < dot) {
        return false;
    }
    // A retuning moves the tone, not its strength; the noise's marks stand far under a keyed tone.
    double keyedHere = 0.0;
    double energyHere = 0.0;
    for (const KeyedMark& mark : last) {
        keyedHere += mark.length;
        energyHere += mark.length * keyedPower(keyedStart(mark, scale), keyedEnd(mark, scale));
    }
    return energyThere / keyedThere >= retunedPowerShare * energyHere / keyedHere;
}

double Lane::keyedPower(double first, double last) const
{
    const auto a = std::llround(first);
    const auto b = std::llround(last);
    if (b <= a || !m_history.holds(a, b)) {
        return 0.0;
    }
    double power = 0.0;
    for (auto k = a; k < b; ++k) {
        power += std::norm(m_history.sum(k, k + 1));
    }
    const double noise = m_tracker.noiseVarianceAt(noiseSample()) / m_filter.block();
    return std::max(power / static_cast<double>(b - a) - noise, 0.0);
}

void Lane::emitText(std::size_t end)
{
    if (!m_timing.known() || end <= m_textDecoder.next()) {
        return;
    }
    m_text.clear();
    m_textConfidence.clear();
    m_textDecoder.decode(m_marks, end, m_timing, m_text, m_textConfidence);
    if (m_handlers.text && !m_text.empty()) {
        m_handlers.text(m_text, m_textConfidence);
    }
}

void Lane::evaluate(double endGap, bool final)
{
    if (!final && m_workSamples - m_lastKeyed > m_readingHold) {
        return;
    }
    // Below this the keying loses and gains whole elements too often for any frame to be vouched for.
    if (m_detector.snrDb() < minSnrDb) {
        return;
    }
    if (m_early && !endHeard()) {
        return;
    }
    // The marks' reading hardly depends on the space after them, only whether that space may end
    // a beacon: asked first as if it were endless, and not again for the same marks if in vain.
    const SearchedMarks searched { m_marks.size(), m_marks.empty() ? 0.0 : m_marks.front().start,
        m_marks.empty() ? 0.0 : m_marks.back().start, m_timing.dot, m_timing.bias };
    if (searched == m_fruitless || m_marks.empty()) {
        return;
    }
    const Reading reading = read(m_marks, endGap, final, m_read);
    if (reading == Reading::Impossible) {
        m_fruitless = searched;
    }
    // Noise the threshold let through where it followed the keying down into a space leaves a dot
    // that no beacon explains: between two characters the beacon read around it is turned down;
    // after the last one no beacon can end there. Read once more without it.
    const bool turnedDown = reading == Reading::TurnedDown || reading == Reading::AlreadyRead;
    if (turnedDown || reading == Reading::Impossible || reading == Reading::NotFound) {
        if (auto kept = withoutStrays(m_marks, endGap, turnedDown ? 0 : m_marks.size() - 1)) {
            read(kept->marks, kept->endGap, final, m_readKept);
        }
    }
}

Lane::Reading Lane::read(std::vector<KeyedMark>& marks, double endGap, bool final, ReadMarks& memo)
{
    const double realGap = marks.back().gap;
    marks.back().gap = endlessSpace * m_timing.dot;
    const bool possible =
        findBeacon(marks, marks.back().gap, m_timing, m_speedRange, markAcceptance).has_value();
    marks.back().gap = realGap;
    if (!possible) {
        return Reading::Impossible;
    }
    const auto found = findBeacon(marks, endGap, m_timing, m_speedRange, markAcceptance);
    if (!found) {
        return Reading::NotFound;
    }
    const TickScale scale = tickScale();
    const KeyedMark& firstMark = marks[found->firstMark];
    const KeyedMark& lastMark = marks[found->boundary[beaconLength] - 1];
    // Until the ticks after it have come in, the beacon waits for the space to grow; once read,
    // the same beacon coming up again as the space grows is not read twice.
    if (!final &&
        static_cast<double>(m_history.end()) < keyedEnd(lastMark, scale) + ticksReadAfter(found->timing)) {
        return Reading::Waiting;
    }
    const std::size_t count = found->boundary[beaconLength] - found->firstMark;
    const ReadMarks these { firstMark.start, lastMark.start, count };
    if (these == memo) {
        return Reading::AlreadyRead;
    }
    memo = these;
    // A retuning within the last character leaves its end keyed on another tone, which this lane's
    // filter never heard: both readings then miss the same elements (C read as D).
    const auto lastCharacter = std::span<const KeyedMark>(marks).subspan(
        found->boundary[beaconLength - 1], found->boundary[beaconLength] - found->boundary[beaconLength - 1]);
    if (keyingWentOnElsewhere(lastCharacter, found->timing.dot)) {
        return Reading::TurnedDown;
    }
    const double noise = m_tracker.noiseVarianceAt(noiseSample()) / m_filter.block();
    TickDoubts doubts;
    // A null at the moment of reading says nothing of how faint the beacon is: there its SNR counts
    // only down to a little under the beacon's own.
    const double snr = std::max(m_detector.snrDb(),
        medianSnrDb(std::span<const KeyedMark>(marks).subspan(found->firstMark, count)) - readingFadeDb);
    doubts.faint = snr < faintSnrDb;
    doubts.nearFloor = snr < nearFloorSnrDb;
    // The reading at a lower level counts only near the floor.
    const auto soft = rereadBeacon(m_history, noise, scale, found->timing, marks, *found, doubts.nearFloor);
    if (!soft) {
        return Reading::TurnedDown;
    }
    // Only the end of the input ends a beacon whose end the ticks have not heard yet.
    if (!soft->quietAfterHeard && (m_early || !final)) {
        memo = {};
        return Reading::Waiting;
    }
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const double start = keyedStart(marks[found->boundary[p]], scale);
        const double end = keyedEnd(marks[found->boundary[p + 1] - 1], scale);
        doubts.toneLost[p] = m_history.toneLost(std::llround(start), std::llround(end));
        // The spaces either side count too: the ticks may place the character a little off the marks.
        const double before = p > 0 ? keyedEnd(marks[found->boundary[p] - 1], scale) : start;
        const double after = p + 1 < beaconLength ? keyedStart(marks[found->boundary[p + 1]], scale) : end;
        doubts.jumped[p] = m_history.phaseLost(std::llround(before), std::llround(after));
    }
    if (!acceptReading(*found, *soft, doubts)) {
        return Reading::TurnedDown;
    }
    const double tickRate = m_filter.outputRate();
    AudioBeacon beacon;
    beacon.text = QString::fromLatin1(soft->text.data(), static_cast<qsizetype>(soft->text.size()));
    beacon.confidence = soft->confidence;
    beacon.time = std::max(0.0, keyedStart(firstMark, scale) / tickRate);
    beacon.wpm = 1.2 * tickRate / found->timing.dot;
    beacon.toneHz = m_tracker.frequency();
    beacon.snrDb = m_detector.snrDb();
    // Every mark up to here belongs to this beacon or came before it.
    m_marks.clear();
    m_textDecoder.dropped(m_textDecoder.next());
    if (m_handlers.beacon) {
        m_handlers.beacon(beacon);
    }
    return Reading::Reported;
}

std::optional<Lane::KeptMarks> Lane::withoutStrays(
    const std::vector<KeyedMark>& marks, double endGap, std::size_t from) const
{
    if (!m_timing.known() || marks.size() < 2 * strayNeighbours + 1) {
        return std::nullopt;
    }
    const TickScale scale = tickScale();
    const double dot = m_timing.dot;
    const auto gapAfter = [&](std::size_t i) { return i + 1 == marks.size() ? endGap : marks[i].gap; };
    // Measured only around a mark short and alone enough to be one.
    std::vector<double> power(marks.size(), -1.0);
    const auto powerOf = [&](std::size_t i) {
        if (power[i] < 0.0) {
            power[i] = keyedPower(keyedStart(marks[i], scale), keyedEnd(marks[i], scale));
        }
        return power[i];
    };
    // Copied only once a stray turns up.
    std::optional<KeptMarks> kept;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const bool alone = i > 0 && i >= from && marks[i].length <= strayDots * dot &&
            marks[i - 1].gap >= strayGapUnits * dot && gapAfter(i) >= strayGapUnits * dot;
        bool stray = false;
        if (alone) {
            const std::size_t first = i >= strayNeighbours ? i - strayNeighbours : 0;
            const std::size_t last = std::min(marks.size(), first + 2 * strayNeighbours + 1);
            std::array<double, 2 * strayNeighbours> around {};
            std::size_t count = 0;
            for (std::size_t k = first; k < last; ++k) {
                if (k != i) {
                    around[count++] = powerOf(k);
                }
            }
            const auto middle = around.begin() + static_cast<std::ptrdiff_t>(count / 2);
            std::nth_element(around.begin(), middle, around.begin() + static_cast<std::ptrdiff_t>(count));
            const double level = *middle;
            // ...between marks at the level of the rest: in a fade they would be weak too.
            const bool trailing = i + 1 == marks.size();
            stray = powerOf(i) < (trailing ? strayPowerShare : strayBetweenShare) * level &&
                powerOf(i - 1) >= steadyShare * level && (trailing || powerOf(i + 1) >= steadyShare * level);
        }
        if (!stray) {
            if (kept) {
                kept->marks.push_back(marks[i]);
            }
            continue;
        }
        if (!kept) {
            kept = KeptMarks { { marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(i) }, endGap };
        }
        // Its space joins the one before it.
        KeyedMark& before = kept->marks.back();
        if (i + 1 == marks.size()) {
            kept->endGap += before.gap + marks[i].length;
            before.gap = kept->endGap;
        } else {
            before.gap += marks[i].length + marks[i].gap;
        }
        before.gapTail = marks[i].gapTail;
    }
    return kept;
}

void Lane::trim()
{
    if (m_marks.size() <= 2 * keptMarks) {
        return;
    }
    const std::size_t drop = m_marks.size() - keptMarks;
    emitText(drop);
    m_marks.erase(m_marks.begin(), m_marks.begin() + static_cast<std::ptrdiff_t>(drop));
    m_textDecoder.dropped(drop);
}

void Lane::finish()
{
    // Push what the delay line still holds through the filter.
    const std::size_t held = m_primed;
    std::size_t pos = m_primed < m_delay.size() ? 0 : m_delayPos;
    std::complex<float> tick;
    for (std::size_t k = 0; k < held; ++k) {
        // What reads the beacons while these come through must place them where they now are.
        m_flushed = static_cast<std::int64_t>(m_delay.size() - held + k);
        if (m_filter.blockStart()) {
            const std::int64_t sample =
                m_workSamples - m_lead - static_cast<std::int64_t>(held) + static_cast<std::int64_t>(k);
            tuneFilter(sample);
            m_detector.setNoise(m_tracker.noiseVarianceAt(sample), m_filter.block());
        }
        if (m_filter.push(m_delay[pos], tick)) {
            processTick(tick);
        }
        pos = pos + 1 == m_delay.size() ? 0 : pos + 1;
    }
    m_flushed = static_cast<std::int64_t>(m_delay.size());
    for (const KeyRun& run : m_detector.flush()) {
        handleRun(run);
    }
    if (!m_timing.known()) {
        m_timing.dot = defaultDotSeconds * m_filter.outputRate();
    }
    if (!m_marks.empty()) {
        // The input ends in silence, however long the last space really was.
        const double end = 10.0 * m_timing.dot;
        if (m_marks.back().gap < 0.0) {
            m_marks.back().gap = end;
        }
        emitText(m_marks.size());
        evaluate(std::max(end, m_marks.back().gap), true);
    }
    m_marks.clear();
}

} // namespace cwaudio
