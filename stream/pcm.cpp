// SPDX-License-Identifier: GPL-3.0-or-later
#include "pcm.h"

#include <QtEndian>

#include <array>

namespace audiostream {

void appendS16le(QByteArrayView bytes, std::vector<float>& out)
{
    constexpr float scale = 1.0F / 32768.0F;
    const qsizetype count = bytes.size() / 2;
    out.reserve(out.size() + std::size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        out.push_back(float(qFromLittleEndian<qint16>(bytes.data() + 2 * i)) * scale);
    }
}

const std::vector<float>& Int16Stream::convert(QByteArrayView bytes)
{
    m_samples.clear();
    if (m_hasCarry && !bytes.isEmpty()) {
        const std::array<char, 2> joined { m_carry, bytes.front() };
        appendS16le(QByteArrayView(joined.data(), 2), m_samples);
        bytes = bytes.sliced(1);
        m_hasCarry = false;
    }
    appendS16le(bytes, m_samples);
    if (bytes.size() % 2 != 0) {
        m_carry = bytes.back();
        m_hasCarry = true;
    }
    return m_samples;
}

} // namespace audiostream
