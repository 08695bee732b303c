// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cw_decoder.h"

#include <QString>

#include <cstdio>

namespace cwaudio {

// Decodes an audio file (anything libsndfile reads: WAV, FLAC, OGG, ...; channels are mixed down,
// any rate), block by block. Returns an empty string on success, else a message naming the file.
QString decodeAudioFile(const QString& path, const DecodeHandlers& handlers);

// Decodes raw signed 16-bit little-endian mono PCM at `sampleRate` from `input` until its end;
// `name` is what error messages call the input.
QString decodeRawStream(
    std::FILE* input, double sampleRate, const QString& name, const DecodeHandlers& handlers);

} // namespace cwaudio
