// SPDX-License-Identifier: GPL-3.0-or-later
#include "keying.h"

#include "morse_table.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

#include <unistd.h>

namespace cwsynth {

KeyedTexts keyByHand(const HandKeying& hand, const std::vector<std::string>& texts, std::mt19937_64& random)
{
    KeyedTexts keyed;
    const double dot = 1.2 / hand.wpm;
    std::normal_distribution<double> jitter(1.0, hand.jitter);
    std::uniform_real_distribution<double> pause(hand.minPauseSeconds, hand.maxPauseSeconds);
    // A hand never holds exactly the textbook ratios; each sending gets its own.
    std::uniform_real_distribution<double> dashRatio(2.7, 3.3);
    const auto stretch = [&](double units) { return units * dot * std::clamp(jitter(random), 0.5, 1.5); };
    double t = hand.leadSeconds;
    for (const std::string& text : texts) {
        const double dash = dashRatio(random);
        keyed.sent.push_back({ std::string(), t });
        bool first = true;
        for (const char c : text) {
            if (c == ' ') {
                t += stretch(4.0); // plus the character space already left: seven units
                continue;
            }
            keyed.sent.back().text += c;
            if (!first) {
                t += stretch(3.0); // character space
            }
            first = false;
            const std::string_view code = cwaudio::morseCodeOf(c);
            for (std::size_t k = 0; k < code.size(); ++k) {
                if (k > 0) {
                    t += stretch(1.0);
                }
                const double length = stretch(code[k] == '-' ? dash : 1.0);
                keyed.keys.push_back({ t, t + length });
                t += length;
                keyed.sent.back().end = t;
            }
        }
        t += pause(random);
    }
    return keyed;
}

double Envelope::at(double t) const
{
    const double x = t * rate;
    if (x < 0.0 || x >= static_cast<double>(level.size()) - 1) {
        return 0.0;
    }
    const auto i = static_cast<std::size_t>(x);
    const double f = x - static_cast<double>(i);
    return level[i] + f * (level[i + 1] - level[i]);
}

Envelope envelopeOf(const KeyedTexts& keyed, double edgeSeconds, double tailSeconds, double rate)
{
    Envelope e;
    e.rate = rate;
    e.sent = keyed.sent;
    const double end = (keyed.keys.empty() ? 0.0 : keyed.keys.back().off) + tailSeconds;
    e.level.assign(static_cast<std::size_t>(end * rate) + 2, 0.0f);
    for (const Key& k : keyed.keys) {
        const auto first = static_cast<std::size_t>(std::max(0.0, k.on * rate));
        const auto last = std::min(e.level.size() - 1, static_cast<std::size_t>(k.off * rate) + 1);
        for (std::size_t i = first; i <= last; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double in = std::min(t - k.on, k.off - t);
            if (in > 0.0) {
                const double v =
                    in >= edgeSeconds ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * in / edgeSeconds);
                e.level[i] = std::max(e.level[i], static_cast<float>(v));
            }
        }
    }
    return e;
}

namespace {

constexpr double ebookToneHz = 600.0;
constexpr int ebookRate = 8000;

// ebook2cw's recording of one text, as its envelope at `rate`, silence before and after cut off.
std::vector<float> ebook2cwEnvelope(const std::string& text, double wpm, double rate, std::string& error)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
        ("cwgen-ebook2cw-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand()));
    fs::create_directories(dir);
    {
        std::ofstream(dir / "text.txt") << text << '\n';
    }
    const std::string command = "cd '" + dir.string() + "' && ebook2cw -w " +
        std::to_string(static_cast<int>(std::lround(wpm))) + " -f " +
        std::to_string(static_cast<int>(ebookToneHz)) + " -s " + std::to_string(ebookRate) +
        " -O -o keyed text.txt >/dev/null 2>&1";
    std::vector<float> out;
    if (std::system(command.c_str()) != 0) {
        error = "ebook2cw failed (is it installed?)";
        fs::remove_all(dir);
        return out;
    }
    SF_INFO info {};
    SNDFILE* file = sf_open((dir / "keyed0000.ogg").c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != 1) {
        error = "cannot read ebook2cw's output";
        if (file != nullptr) {
            sf_close(file);
        }
        fs::remove_all(dir);
        return out;
    }
    std::vector<float> tone(static_cast<std::size_t>(info.frames));
    sf_readf_float(file, tone.data(), info.frames);
    sf_close(file);
    fs::remove_all(dir);
    // Mix the tone to 0 Hz and average over 2.5 ms, three whole periods of the image mixing leaves
    // at twice the tone: any other length leaves a ripple whose peaks would set the scale below and
    // key every mark weaker than the SNR asked for.
    const auto average = static_cast<std::size_t>(3 * ebookRate / (2 * ebookToneHz));
    std::vector<float> magnitude(tone.size());
    std::complex<double> sum {};
    std::vector<std::complex<double>> ring(average);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        const double phase = 2 * std::numbers::pi * ebookToneHz * static_cast<double>(i) / ebookRate;
        const std::complex<double> mixed = static_cast<double>(tone[i]) * std::polar(2.0, -phase);
        sum += mixed - ring[i % average];
        ring[i % average] = mixed;
        magnitude[i] = static_cast<float>(std::abs(sum) / static_cast<double>(average));
    }
    const float peak = magnitude.empty() ? 0.0f : *std::ranges::max_element(magnitude);
    if (peak <= 0.0f) {
        error = "ebook2cw's output is silent";
        return out;
    }
    // Below 3 % is the codec's noise between the marks, not keying.
    std::size_t first = magnitude.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < magnitude.size(); ++i) {
        const float v = magnitude[i] / peak;
        magnitude[i] = v < 0.03f ? 0.0f : std::min(v, 1.0f);
        if (magnitude[i] > 0.0f) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first > last) {
        return out;
    }
    // Resample to `rate` (the averaging above was the anti-alias filter).
    const double step = ebookRate / rate;
    for (auto x = static_cast<double>(first); x <= static_cast<double>(last); x += step) {
        const auto at = static_cast<std::size_t>(x);
        out.push_back(magnitude[at]);
    }
    out.push_back(0.0f);
    return out;
}

} // namespace

Envelope keyByEbook2cw(const HandKeying& spacing, const std::vector<std::string>& texts,
    std::mt19937_64& random, std::string& error)
{
    Envelope e;
    std::uniform_real_distribution<double> pause(spacing.minPauseSeconds, spacing.maxPauseSeconds);
    e.level.assign(static_cast<std::size_t>(spacing.leadSeconds * e.rate), 0.0f);
    for (const std::string& text : texts) {
        const std::vector<float> keyed = ebook2cwEnvelope(text, spacing.wpm, e.rate, error);
        if (keyed.empty()) {
            return {};
        }
        std::string squeezed = text;
        std::erase(squeezed, ' ');
        const double start = e.seconds();
        e.level.insert(e.level.end(), keyed.begin(), keyed.end());
        e.sent.push_back({ squeezed, start, e.seconds() });
        e.level.resize(e.level.size() + static_cast<std::size_t>(pause(random) * e.rate), 0.0f);
    }
    return e;
}

} // namespace cwsynth
