// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a reproducible log of received texts for timing tarnup-decode: mostly beacons as an
// automatic CW decoder would log them, with the case, spacing and junk real logs have.
#include "beacon_frame.h"
#include "level_code.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

class LogWriter
{
public:
    // std::mt19937 is specified to the bit, so the same seed gives the same log everywhere.
    explicit LogWriter(std::uint32_t seed)
        : m_random(seed)
    {
    }

    QByteArray line()
    {
        const unsigned kind = pick(100);
        if (kind < 60) {
            return frame();
        }
        if (kind < 70) {
            return frame().toLower();
        }
        if (kind < 80) {
            return spaced(frame());
        }
        if (kind < 85) {
            return outOfRange(frame());
        }
        if (kind < 90) {
            return nearMiss(frame());
        }
        if (kind < 92) {
            return { qsizetype(pick(4)), ' ' };
        }
        return junk();
    }

    bool crlf() { return pick(5) == 0; }

private:
    unsigned pick(unsigned below) { return unsigned(m_random() % below); }

    QByteArray frame()
    {
        QByteArray text = beacon::framePrefix.toLatin1();
        while (text.size() < beacon::frameLength) {
            text.append(
                char(beacon::levelAlphabet.at(pick(unsigned(beacon::levelAlphabet.size()))).unicode()));
        }
        return text;
    }

    // Groups of four after the prefix, as listeners copy them down; the case mixed.
    QByteArray spaced(const QByteArray& text)
    {
        QByteArray out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i >= 6 && (i - 6) % 4 == 0) {
                out.append(' ');
            }
            const char c = text.at(i);
            out.append(pick(2) != 0 ? c : char(QChar::fromLatin1(c).toLower().toLatin1()));
        }
        return out;
    }

    QByteArray outOfRange(QByteArray text)
    {
        static constexpr char notSymbols[] = "013579AXB#?-";
        text[6 + pick(13)] = notSymbols[pick(sizeof notSymbols - 1)];
        return text;
    }

    // Right prefix, wrong length, or wrong prefix: decoders drop and repeat characters.
    QByteArray nearMiss(QByteArray text)
    {
        switch (pick(3)) {
        case 0:
            text.chop(1);
            break;
        case 1:
            text.append(text.back());
            break;
        default:
            text[pick(6)] = 'E';
            break;
        }
        return text;
    }

    QByteArray junk()
    {
        QByteArray text;
        const unsigned length = 1 + pick(40);
        for (unsigned i = 0; i < length; ++i) {
            text.append(char(' ' + pick(95)));
        }
        return text;
    }

    std::mt19937 m_random;
};

} // namespace

int main(int argc, char* argv[])
{
    const long lines = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    if (lines <= 0) {
        std::fprintf(stderr, "usage: make-beacon-log [LINES] > FILE\n");
        return 2;
    }
    LogWriter writer(20261207);
    QByteArray block;
    for (long i = 0; i < lines; ++i) {
        block.append(writer.line()).append(writer.crlf() ? "\r\n" : "\n");
        if (block.size() > 1 << 16) {
            std::fwrite(block.constData(), 1, block.size(), stdout);
            block.clear();
        }
    }
    std::fwrite(block.constData(), 1, block.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
