// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace cwsynth {

struct SentBeacon
{
    std::string text;
    double start = 0.0; // seconds
    double end = 0.0; // the last key-up
};

// One key-down, in seconds.
struct Key
{
    double on;
    double off;
};

// How a hand keys: element lengths vary by `jitter` (a share of each), every sending holds its own
// dash ratio, and the texts are `pauses` apart.
struct HandKeying
{
    double wpm = 18.0;
    double jitter = 0.1;
    double leadSeconds = 1.0;
    double minPauseSeconds = 1.5;
    double maxPauseSeconds = 4.0;
};

struct KeyedTexts
{
    std::vector<Key> keys;
    std::vector<SentBeacon> sent; // one per text, spaces removed
};

// Keys `texts` (a space is a word space) as a somewhat unsteady hand would.
KeyedTexts keyByHand(const HandKeying& hand, const std::vector<std::string>& texts, std::mt19937_64& random);

// The key-down envelope (0..1) sampled at `rate`, so any keyer's shape can be carried: its edges,
// its timing, whatever it does between characters.
struct Envelope
{
    double rate = 4000.0;
    std::vector<float> level;
    std::vector<SentBeacon> sent;

    double seconds() const { return static_cast<double>(level.size()) / rate; }
    // Linear between samples, 0 outside.
    double at(double t) const;
};

// Raised-cosine edges of `edgeSeconds`, then `tailSeconds` of silence after the last key.
Envelope envelopeOf(const KeyedTexts& keyed, double edgeSeconds, double tailSeconds, double rate = 4000.0);

// The texts keyed by ebook2cw (its own timing and envelope), each its own run at `wpm`, `pauses`
// apart. Empty, with `error` set, when ebook2cw cannot be run.
Envelope keyByEbook2cw(const HandKeying& spacing, const std::vector<std::string>& texts,
    std::mt19937_64& random, std::string& error);

} // namespace cwsynth
