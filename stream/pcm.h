// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <vector>

namespace audiostream {

// Appends the samples of raw signed 16-bit little-endian mono PCM to `out`, scaled to -1..1.
// An odd last byte is ignored; stream readers keep it for the next call (see Int16Stream).
void appendS16le(QByteArrayView bytes, std::vector<float>& out);

// Reassembles 16-bit samples from a byte stream whose chunks may split a sample.
class Int16Stream
{
public:
    // The samples completed by `bytes`, scaled to -1..1; valid until the next call.
    const std::vector<float>& convert(QByteArrayView bytes);

private:
    std::vector<float> m_samples;
    char m_carry = 0;
    bool m_hasCarry = false;
};

} // namespace audiostream
