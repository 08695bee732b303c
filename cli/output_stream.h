// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdio>

namespace decodecli {

// Collects bytes for a stream and writes them in large blocks, or after every record when a
// person is watching a terminal.
class OutputStream
{
public:
    static constexpr qsizetype blockSize = qsizetype { 64 } * 1024;

    explicit OutputStream(std::FILE* stream);

    QByteArray& buffer() { return m_buffer; }

    void recordDone()
    {
        if (m_eachRecord || m_buffer.size() >= blockSize) {
            flush();
        }
    }

    // Within a record too large to hold whole.
    void flushIfFull()
    {
        if (m_buffer.size() >= blockSize) {
            flush();
        }
    }

    // False once a write has failed.
    bool flush();

    bool failed() const { return m_failed; }
    const char* why() const { return m_why.constData(); }

private:
    std::FILE* m_stream;
    bool m_eachRecord;
    bool m_failed = false;
    QByteArray m_why;
    QByteArray m_buffer;
};

} // namespace decodecli
