// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "options.h"
#include "output_format.h"
#include "output_stream.h"

#include <memory>

namespace decodecli {

// Writes every received text, a log line or a beacon heard in audio alike, in one output format.
class RecordWriter
{
public:
    virtual ~RecordWriter() = default;

    // Whether texts that are not beacons are written too (else the caller warns about them).
    virtual bool writesNonBeacons() const = 0;
    // `measurement` is null for a text that was not heard in audio.
    virtual void write(
        const Origin& origin, const ReceivedText& received, const Measurement* measurement) = 0;
};

// The writer for `format` into `out`; a CSV writer starts with its header unless `noHeader`.
std::unique_ptr<RecordWriter> makeRecordWriter(Format format, OutputStream& out, bool noHeader = false);

} // namespace decodecli
