// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_stream.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace decodecli {

namespace {

bool isTerminal(std::FILE* stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

} // namespace

OutputStream::OutputStream(std::FILE* stream)
    : m_stream(stream)
    , m_eachRecord(isTerminal(stream))
{
    m_buffer.reserve(2 * blockSize);
}

bool OutputStream::flush()
{
    if (!m_buffer.isEmpty() && !m_failed) {
        m_failed =
            std::fwrite(m_buffer.constData(), 1, m_buffer.size(), m_stream) != size_t(m_buffer.size()) ||
            std::fflush(m_stream) != 0;
        if (m_failed) {
            m_why = std::strerror(errno);
        }
    }
    // One huge record must not keep its memory for the rest of the run.
    if (m_buffer.capacity() > 16 * blockSize) {
        m_buffer = QByteArray();
        m_buffer.reserve(2 * blockSize);
    }
    m_buffer.resize(0);
    return !m_failed;
}

} // namespace decodecli
