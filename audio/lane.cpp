// SPDX-License-Identifier: GPL-3.0-or-later
#include "lane.h"

#include "acceptance.h"
#include "soft_beacon.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

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
// Until the speed has been measured, assume 20 WPM.
constexpr double defaultDotSeconds = 0.06;
// A space this many dots long ends any beacon before it.
constexpr double maxOpenCheck = 12.0;
// A space this many dots long is a word space at any speed a beacon search measures.
constexpr double endlessSpace = 1000.0;
// Ticks of baseband kept for reading a beacon again: a beacon at the slowest speed, and more.
constexpr std::size_t historyTicks = std::size_t { 1 } << 15;
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
// A lane searches its marks for beacons only while its tone has been keyed lately (the second
// lane mostly follows noise, whose marks would be searched in vain): keyed at this share of the
// tracker's estimates over about this long, until this long after.
constexpr double keyedShareSeconds = 5.0;
constexpr double readingShare = 0.15;
constexpr double readingHoldSeconds = 5.0;
// A jump is looked for in the ticks this many of the tracker's hops either side of where the
// spectrum dated it, and moved when that puts this much more power (in blocks of noise) on the
// side of its own tone.
constexpr int redateHops = 5;
// ...and further back, for the averages may show the new tone only most of a second later.
constexpr int redateHopsBack = 12;
constexpr double redateNoiseBlocks = 40.0;
// The phase either side of a jump is read over this many filter blocks, and only where the tone
// stands this far over the noise in both (per block, in power).
constexpr int phaseBlocks = 4;
// Over two filter blocks a tone keyed half the time stands about 4 dB over the noise even at
// -6 dB; the noise alone averages 1.
constexpr double leakNoise = 2.0;
// A jump dated by the ticks is taken as dated right down to this SNR (in 2500 Hz; about 11 dB
// more in a filter block at 0 dB).
constexpr double sharpJumpSnrDb = -3.0;
constexpr double phaseKeyedBlocks = 4.0;

} // namespace

Lane::Lane(const DriftBank& bank, DecodeHandlers handlers)
    : m_handlers(std::move(handlers))
    , m_tracker(bank)
    , m_filter(bank.sampleRate())
    , m_detector(m_filter.outputRate())
    , m_history(historyTicks)
    , m_delay(static_cast<std::size_t>(m_tracker.lagSamples()), 0.0f)
    , m_speedRange(speedRangeFor(m_filter.outputRate()))
    , m_jumpHz(jumpHzPerSecond * m_filter.block() / bank.sampleRate())
    , m_keyedShareStep(bank.hop() / (keyedShareSeconds * bank.sampleRate()))
    , m_readingHold(std::llround(readingHoldSeconds * bank.sampleRate()))
{
    m_detector.setDotTicks(defaultDotSeconds * m_filter.outputRate());
}

double Lane::wpm() const
{
    return m_timing.known() ? 1.2 * m_filter.outputRate() / m_timing.dot : 0.0;
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
    if (m_tracker.jumpJustSeen()) {
        redateJump();
    }
    m_detector.setNoise(m_tracker.noiseVarianceAt(delayedSample()), m_filter.block());
    m_keyedShare += m_keyedShareStep * ((m_tracker.keyed() ? 1.0 : 0.0) - m_keyedShare);
    if (m_keyedShare >= readingShare) {
        m_lastKeyed = m_workSamples;
    }
}

std::complex<double> Lane::mixedFromLine(
    std::int64_t from, std::int64_t count, double hz, std::int64_t zero) const
{
    // The oscillator's phase is 0 at sample `zero`, whichever side of the samples it lies.
    const double angle = -2.0 * std::numbers::pi * hz / (m_filter.outputRate() * m_filter.block());
    const std::complex<double> step { std::cos(angle), std::sin(angle) };
    std::complex<double> oscillator = std::polar(1.0, angle * static_cast<double>(from - zero));
    std::complex<double> sum { 0.0, 0.0 };
    std::size_t at = (m_delayPos + static_cast<std::size_t>(from - delayedSample())) % m_delay.size();
    for (std::int64_t k = 0; k < count; ++k) {
        sum += static_cast<double>(m_delay[at]) * oscillator;
        oscillator *= step;
        at = at + 1 == m_delay.size() ? 0 : at + 1;
    }
    return sum;
}

void Lane::redateJump()
{
    // The spectrum dates a jump to within a frame or two, dots at high speed: the ticks date it to
    // a filter block, where the keying at the old tone gives way to keying at the new one.
    if (m_primed < m_delay.size()) {
        return;
    }
    const auto block = static_cast<std::int64_t>(m_filter.block());
    const std::int64_t reach = static_cast<std::int64_t>(redateHops) * m_tracker.hop();
    const std::int64_t reachBack = static_cast<std::int64_t>(redateHopsBack) * m_tracker.hop();
    // Block starts still ahead of the filter, on its grid.
    const std::int64_t nextBlock = delayedSample() + (m_filter.blockStart() ? 0 : m_filter.remaining());
    const auto onGrid = [&](std::int64_t sample) {
        return nextBlock + (sample - nextBlock + block - 1) / block * block;
    };
    const std::int64_t dated = m_tracker.jumpAt();
    const std::int64_t first = onGrid(std::max(nextBlock + block, dated - reachBack));
    const std::int64_t last = std::min(m_workSamples, dated + reach); // the blocks end by here
    if (last - first < 4 * block) {
        return;
    }
    const double noise = m_tracker.noiseVarianceAt(dated) * static_cast<double>(block);
    // Power at each side's tone per block; the date that puts most of it on its own side wins.
    const auto power = [&](std::int64_t from, bool after) {
        return std::norm(mixedFromLine(from, block, m_tracker.toneBeside(from + block / 2, after), from));
    };
    // Old-side power minus new-side power, summed from `first` to each block start; and each
    // side's power alone.
    m_balance.assign(1, 0.0);
    m_oldPower.assign(1, 0.0);
    m_newPower.assign(1, 0.0);
    // Over two blocks each side's filter shuts out the other tone 100 Hz away and more, as one
    // block cannot: these show whether a tone was keyed on the wrong side of the date.
    const auto wide = [&](std::int64_t from, bool after) {
        const double hz = m_tracker.toneBeside(from + block, after);
        return std::norm(mixedFromLine(from, 2 * block, hz, from)) / (2.0 * noise);
    };
    for (std::int64_t from = first; from + block <= last; from += block) {
        m_balance.push_back(m_balance.back() + power(from, false) - power(from, true));
        const bool pair = from + 2 * block <= last;
        m_oldPower.push_back(m_oldPower.back() + (pair ? wide(from, false) : 0.0));
        m_newPower.push_back(m_newPower.back() + (pair ? wide(from, true) : 0.0));
    }
    // Mean power per pair of blocks (in noise) of the new tone before block j, the old after it.
    const std::size_t pairs = m_balance.size() - 2;
    const auto newBefore = [&](std::size_t j) {
        return j >= 2 ? m_newPower[j - 1] / static_cast<double>(j - 1) : 0.0;
    };
    const auto oldAfter = [&](std::size_t j) {
        return pairs > j ? (m_oldPower[pairs] - m_oldPower[j]) / static_cast<double>(pairs - j) : 0.0;
    };
    // A retuning leaves no tone behind it; a change of station does, and the ticks dating it
    // would date where the other station began.
    const auto retuned = [&](std::size_t j) { return newBefore(j) < leakNoise && oldAfter(j) < leakNoise; };
    const auto bestIt = std::max_element(m_balance.begin(), m_balance.end());
    const double best = *bestIt;
    const std::int64_t bestAt = first + (bestIt - m_balance.begin()) * block;
    const auto datedBlock = std::clamp<std::int64_t>(
        (onGrid(dated) - first) / block, 0, static_cast<std::int64_t>(m_balance.size()) - 1);
    const double atDated = m_balance[static_cast<std::size_t>(datedBlock)];
    // Keyed at the old tone before a date and at the new one after it, by how much.
    const auto keyedBefore = [&](auto at) { return *at - *std::min_element(m_balance.begin(), at + 1); };
    const auto keyedAfter = [&](auto at) { return *at - *std::min_element(at, m_balance.end()); };
    const double enough = redateNoiseBlocks * noise;
    // Moved only where the ticks show both sides: the end of the old keying alone leaves the
    // new tone's start open.
    const bool moved = bestAt != dated && best - atDated > enough && keyedBefore(bestIt) > enough &&
        keyedAfter(bestIt) > enough && retuned(static_cast<std::size_t>(bestIt - m_balance.begin()));
    const auto chosen = m_balance.begin() + (moved ? bestIt - m_balance.begin() : datedBlock);
    const double rise = keyedBefore(chosen);
    const double fall = keyedAfter(chosen);
    // Only where a filter block holds the tone well over the noise does its power date the jump
    // to within a block or two.
    const bool sharp = m_detector.snrDb() >= sharpJumpSnrDb;
    m_confirmedJumpAt = sharp && rise > enough && fall > enough &&
            retuned(static_cast<std::size_t>(chosen - m_balance.begin()))
        ? first + (chosen - m_balance.begin()) * block
        : -1;
    if (moved) {
        m_tracker.redateJump(bestAt);
    }
    // The filter's oscillator runs on through the switch, the signal's phase need not: where the
    // tone is keyed either side, the ticks after it are turned to go on in the phase of those
    // before, so a mark the jump falls in stays one mark.
    const std::int64_t at = onGrid(m_tracker.jumpAt());
    const std::int64_t span = phaseBlocks * block;
    if (at - span < nextBlock || at + span > m_workSamples) {
        return;
    }
    const std::complex<double> before = mixedFromLine(at - span, span, m_tracker.toneBeside(at, false), at);
    const std::complex<double> after = mixedFromLine(at, span, m_tracker.toneBeside(at, true), at);
    const double keyed = phaseKeyedBlocks * noise * phaseBlocks;
    if (std::norm(before) > keyed && std::norm(after) > keyed) {
        m_turnAt = at;
        m_turn = before * std::conj(after) / (std::abs(before) * std::abs(after));
    }
}

void Lane::prime(float sample)
{
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
            loseTicksAround(jump->tick, jump->confirmed);
        }
        m_workSamples = m_heldTicks[i].workSamples;
        processTick(m_heldTicks[i].value);
    }
    m_workSamples = reached;
    for (; jump != m_heldJumps.end(); ++jump) {
        loseTicksAround(jump->tick, jump->confirmed);
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
    const double hz = m_tracker.frequencyAt(sample);
    if (m_primed == m_delay.size() && std::abs(hz - m_filterHz) > m_jumpHz) {
        // The tick this block will give, after those still held.
        const std::int64_t tick = m_history.end() + static_cast<std::int64_t>(m_heldTicks.size());
        // A jump the ticks have dated and seen keyed either side leaves the filter on the tone.
        const bool confirmed =
            m_confirmedJumpAt >= 0 && std::abs(sample - m_confirmedJumpAt) < m_filter.block();
        if (m_holdTicks) {
            m_heldJumps.push_back({ m_heldTicks.size(), tick, confirmed });
        } else {
            loseTicksAround(tick, confirmed);
        }
    }
    m_filterHz = hz;
    m_filter.setFrequency(hz);
    if (m_turnAt >= 0 && sample >= m_turnAt) {
        m_filter.turnPhase(m_turn);
        m_turnAt = -1;
    }
}

void Lane::loseTicksAround(std::int64_t tick, bool confirmed)
{
    if (confirmed) {
        m_history.losePhase(tick - 1, tick + 1);
        return;
    }
    const auto hop = static_cast<std::int64_t>(m_tracker.hop() / m_filter.block());
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
    const double realGap = m_marks.back().gap;
    m_marks.back().gap = endlessSpace * m_timing.dot;
    const bool possible =
        findBeacon(m_marks, m_marks.back().gap, m_timing, m_speedRange, markAcceptance).has_value();
    m_marks.back().gap = realGap;
    if (!possible) {
        m_fruitless = searched;
        return;
    }
    const auto found = findBeacon(m_marks, endGap, m_timing, m_speedRange, markAcceptance);
    if (!found) {
        return;
    }
    const TickScale scale { static_cast<double>(m_detector.filterLength()), m_filter.outputRate() };
    const KeyedMark& firstMark = m_marks[found->firstMark];
    const KeyedMark& lastMark = m_marks[found->boundary[beaconLength] - 1];
    // Until the ticks after it have come in, the beacon waits for the space to grow; once read,
    // the same beacon coming up again as the space grows is not read twice.
    if (!final &&
        static_cast<double>(m_history.end()) < keyedEnd(lastMark, scale) + ticksReadAfter(found->timing)) {
        return;
    }
    if (firstMark.start == m_readFirst && lastMark.start == m_readLast) {
        return;
    }
    m_readFirst = firstMark.start;
    m_readLast = lastMark.start;
    const double noise = m_tracker.noiseVarianceAt(delayedSample()) / m_filter.block();
    const auto soft = rereadBeacon(m_history, noise, scale, found->timing, m_marks, *found);
    if (!soft) {
        return;
    }
    TickDoubts doubts;
    doubts.faint = m_detector.snrDb() < faintSnrDb;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const double start = keyedStart(m_marks[found->boundary[p]], scale);
        const double end = keyedEnd(m_marks[found->boundary[p + 1] - 1], scale);
        doubts.toneLost[p] = m_history.toneLost(std::llround(start), std::llround(end));
        // The spaces either side count too: the ticks may place the character a little off the marks.
        const double before = p > 0 ? keyedEnd(m_marks[found->boundary[p] - 1], scale) : start;
        const double after = p + 1 < beaconLength ? keyedStart(m_marks[found->boundary[p + 1]], scale) : end;
        doubts.jumped[p] = m_history.phaseLost(std::llround(before), std::llround(after));
    }
    if (!acceptReading(*found, *soft, doubts)) {
        return;
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
        if (m_filter.blockStart()) {
            const std::int64_t sample =
                m_workSamples - static_cast<std::int64_t>(held) + static_cast<std::int64_t>(k);
            tuneFilter(sample);
            m_detector.setNoise(m_tracker.noiseVarianceAt(sample), m_filter.block());
        }
        if (m_filter.push(m_delay[pos], tick)) {
            processTick(tick);
        }
        pos = pos + 1 == m_delay.size() ? 0 : pos + 1;
    }
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
