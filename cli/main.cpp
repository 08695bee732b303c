// SPDX-License-Identifier: GPL-3.0-or-later
#include "cw_audio.h"
#include "line_input.h"
#include "output_format.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using namespace decodecli;

namespace {

enum ExitCode { allBeacons = 0, someNotBeacons = 1, failed = 2 };

enum class Format { text, json, csv };

constexpr qsizetype chunkSize = qsizetype { 256 } * 1024;

bool isTerminal(FILE* stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// Whatever standard input has ready, up to `size` bytes: unlike a buffered read it does not wait
// for a full chunk, so a person typing sees each report at once.
qint64 readStandardInput(char* data, qint64 size)
{
#ifdef Q_OS_WIN
    return _read(0, data, unsigned(size));
#else
    qint64 got = 0;
    do {
        got = ::read(0, data, size_t(size));
    } while (got < 0 && errno == EINTR); // a signal such as a terminal resize is no read error
    return got;
#endif
}

// Collects bytes for a stream and writes them in large blocks, or after every record when a
// person is watching a terminal.
class Output
{
public:
    static constexpr qsizetype blockSize = qsizetype { 64 } * 1024;

    explicit Output(FILE* stream)
        : m_stream(stream)
        , m_eachRecord(isTerminal(stream))
    {
        m_buffer.reserve(2 * blockSize);
    }

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
    bool flush()
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

    bool failed() const { return m_failed; }
    const char* why() const { return m_why.constData(); }

private:
    FILE* m_stream;
    bool m_eachRecord;
    bool m_failed = false;
    QByteArray m_why;
    QByteArray m_buffer;
};

class BatchDecoder
{
public:
    BatchDecoder(Format format, bool quiet, Output& out, Output& messages, bool noHeader = false)
        : m_format(format)
        , m_quiet(quiet)
        , m_out(out)
        , m_messages(messages)
    {
        if (m_format == Format::csv && !noHeader) {
            appendCsvHeader(m_out.buffer());
            m_out.recordDone();
        }
    }

    void decodeArgument(const QString& text, qint64 place)
    {
        Origin origin;
        origin.line = place;
        handle(origin, u"--beacon %1"_s.arg(place), receiveText(text));
    }

    void decodeFile(const QString& path)
    {
        const bool standardInput = path == u"-";
        const QString shownName = standardInput ? u"(standard input)"_s : path;
        QFile file(path);
        if (!standardInput && !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            fileError(u"cannot open %1: %2"_s.arg(shownName, file.errorString()));
            return;
        }
        LineSplitter splitter;
        Origin origin(standardInput ? u"-"_s : path);
        const auto onLine = [&](QByteArrayView line) {
            ++origin.line;
            handle(origin, shownName,
                receiveLine(origin.line == 1 ? stripByteOrderMark(line) : line, KeepInput::whenShort));
        };
        QByteArray chunk(chunkSize, Qt::Uninitialized);
        while (!m_out.failed()) {
            const qint64 got = standardInput ? readStandardInput(chunk.data(), chunk.size())
                                             : file.read(chunk.data(), chunk.size());
            if (got < 0) {
                const QString why =
                    standardInput ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
                splitter.finish(onLine);
                fileError(u"cannot read %1 after line %2: %3"_s.arg(shownName).arg(origin.line).arg(why));
                return;
            }
            if (got == 0) {
                break;
            }
            splitter.feed(QByteArrayView(chunk.constData(), got), onLine);
        }
        splitter.finish(onLine);
    }

    // Demodulates a recording (or raw s16le mono at `rate` from standard input for "-") and
    // writes each beacon as soon as it is complete, or with `morseText` the decoded text itself.
    void decodeAudio(const QString& path, int rate, bool morseText)
    {
        const bool standardInput = path == u"-";
        Origin origin(path);
        cwaudio::DecodeHandlers handlers;
        bool any = false;
        if (morseText) {
            handlers.text = [this, standardInput](std::string_view text, std::span<const float>) {
                m_out.buffer().append(text.data(), qsizetype(text.size()));
                if (standardInput) {
                    m_out.flush();
                }
            };
        } else {
            handlers.beacon = [this, &origin, &any](const cwaudio::AudioBeacon& heard) {
                any = true;
                ++origin.line;
                handleAudio(origin, heard);
                // Live listeners want every beacon the moment it is complete.
                m_out.flush();
            };
        }
        const QString error = standardInput
            ? cwaudio::decodeRawStream(stdin, rate, u"(standard input)"_s, handlers)
            : cwaudio::decodeAudioFile(path, handlers);
        if (morseText) {
            m_out.buffer().append('\n');
            m_out.recordDone();
        }
        if (!error.isEmpty()) {
            fileError(error);
        } else if (!any && !morseText) {
            m_sawNotBeacon = true;
        }
    }

    int exitCode() const
    {
        if (m_error || m_out.failed()) {
            return failed;
        }
        return m_sawNotBeacon ? someNotBeacons : allBeacons;
    }

private:
    void handle(const Origin& origin, const QString& shownName, const ReceivedText& received)
    {
        if (received.blank) {
            return;
        }
        if (received.invalidUtf8) {
            warn(origin, shownName, "not valid UTF-8, read with U+FFFD for each bad sequence");
        }
        if (!received.isBeacon()) {
            m_sawNotBeacon = true;
        }
        QByteArray& out = m_out.buffer();
        switch (m_format) {
        case Format::text:
            if (!received.isBeacon()) {
                warn(origin, shownName, "not a beacon");
                return;
            }
            if (m_reportsWritten++ > 0) {
                out.append('\n');
            }
            appendTextReport(out, received.frame);
            break;
        case Format::csv:
            if (!received.isBeacon()) {
                warn(origin, shownName, "not a beacon");
                return;
            }
            appendCsvRecord(out, origin, received.frame);
            break;
        case Format::json:
            appendJsonRecord(out, origin, received, [this] { m_out.flushIfFull(); });
            break;
        }
        m_out.recordDone();
    }

    void handleAudio(const Origin& origin, const cwaudio::AudioBeacon& heard)
    {
        const ReceivedText received = receiveText(heard.text);
        QByteArray& out = m_out.buffer();
        switch (m_format) {
        case Format::text:
            if (m_reportsWritten++ > 0) {
                out.append('\n');
            }
            appendTextReport(out, received.frame);
            break;
        case Format::csv:
            appendCsvRecord(out, origin, received.frame);
            break;
        case Format::json: {
            QByteArray extra = ",\"time\":" + QByteArray::number(heard.time, 'f', 2) +
                ",\"wpm\":" + QByteArray::number(heard.wpm, 'f', 1) +
                ",\"tone_hz\":" + QByteArray::number(heard.toneHz, 'f', 1) +
                ",\"snr_db\":" + QByteArray::number(heard.snrDb, 'f', 1) + ",\"confidence\":[";
            for (std::size_t i = 0; i < heard.confidence.size(); ++i) {
                extra += (i > 0 ? "," : "") + QByteArray::number(heard.confidence[i], 'f', 3);
            }
            extra += ']';
            appendJsonRecord(out, origin, received, {}, extra);
            break;
        }
        }
        m_out.recordDone();
    }

    void warn(const Origin& origin, const QString& shownName, const char* what)
    {
        if (m_quiet) {
            return;
        }
        QByteArray& message = m_messages.buffer();
        message.append("tarnup-decode: ");
        appendUtf8(message, shownName);
        if (!origin.file().isNull()) {
            message.append(':').append(QByteArray::number(origin.line));
        }
        message.append(": ").append(what).append('\n');
        m_messages.recordDone();
    }

    void fileError(const QString& message)
    {
        m_error = true;
        QByteArray& text = m_messages.buffer();
        text.append("tarnup-decode: ");
        appendUtf8(text, message);
        text.append('\n');
        m_messages.flush();
    }

    Format m_format;
    bool m_quiet;
    Output& m_out;
    Output& m_messages;
    bool m_sawNotBeacon = false;
    bool m_error = false;
    qint64 m_reportsWritten = 0;
};

int usageError(const QString& message)
{
    std::fprintf(stderr, "tarnup-decode: %s\nTry 'tarnup-decode --help' for more information.\n",
        qUtf8Printable(message));
    return failed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tarnup-decode"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNUP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Decodes logged TARNU-PII CW telemetry beacons, one received text a "
                                     u"line, into reports, JSON Lines or CSV."_s);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption formatOption({ u"f"_s, u"format"_s },
        u"Output format: text (the reports), json (JSON Lines, one object a line) or csv."_s, u"format"_s,
        u"text"_s);
    const QCommandLineOption beaconOption({ u"b"_s, u"beacon"_s },
        u"Decode <text> instead of reading files; may be given more than once."_s, u"text"_s);
    const QCommandLineOption quietOption(
        { u"q"_s, u"quiet"_s }, u"No warnings about lines that are not beacons or not UTF-8."_s);
    const QCommandLineOption audioOption(u"audio"_s,
        u"The FILEs are recordings (WAV, FLAC, OGG, ...; any rate, channels mixed) to demodulate; "
        u"- reads raw signed 16-bit mono PCM at --rate from standard input, live."_s);
    const QCommandLineOption rateOption(
        u"rate"_s, u"Sample rate of the raw PCM read with --audio -."_s, u"hz"_s);
    const QCommandLineOption morseTextOption(
        u"morse-text"_s, u"With --audio: print the raw decoded Morse text instead of reports."_s);
    parser.addOptions({ formatOption, beaconOption, quietOption, audioOption, rateOption, morseTextOption });
    parser.addPositionalArgument(u"FILE"_s, u"A log to decode; - or none: standard input."_s, u"[FILE...]"_s);

    if (!parser.parse(QCoreApplication::arguments())) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        parser.showHelp(allBeacons);
    }
    if (parser.isSet(versionOption)) {
        parser.showVersion();
    }

    const QString formatName = parser.value(formatOption);
    Format format;
    if (formatName == u"text") {
        format = Format::text;
    } else if (formatName == u"json") {
        format = Format::json;
    } else if (formatName == u"csv") {
        format = Format::csv;
    } else {
        return usageError(u"unknown format '%1' (use text, json or csv)"_s.arg(formatName));
    }

    const QStringList texts = parser.values(beaconOption);
    QStringList files = parser.positionalArguments();
    if (!texts.isEmpty() && !files.isEmpty()) {
        return usageError(u"give texts with --beacon or files to read, not both"_s);
    }
    if (texts.isEmpty() && files.isEmpty()) {
        files.append(u"-"_s);
    }

    const bool audio = parser.isSet(audioOption);
    int rate = 0;
    if (audio) {
        if (!texts.isEmpty()) {
            return usageError(u"--audio decodes files, not --beacon texts"_s);
        }
        if (files.contains(u"-"_s)) {
            bool ok = false;
            rate = parser.value(rateOption).toInt(&ok);
            if (!ok || rate < 1000) {
                return usageError(u"--audio - needs --rate, the sample rate in Hz (at least 1000)"_s);
            }
        }
    } else if (parser.isSet(morseTextOption) || parser.isSet(rateOption)) {
        return usageError(u"--morse-text and --rate go with --audio"_s);
    }

    Output out(stdout);
    Output messages(stderr);
    BatchDecoder decoder(
        format, parser.isSet(quietOption), out, messages, audio && parser.isSet(morseTextOption));
    if (audio) {
        for (const QString& file : std::as_const(files)) {
            decoder.decodeAudio(file, rate, parser.isSet(morseTextOption));
        }
        if (!out.flush()) {
            std::fprintf(stderr, "tarnup-decode: cannot write the output: %s\n", out.why());
        }
        messages.flush();
        return decoder.exitCode();
    }
    for (qsizetype i = 0; i < texts.size(); ++i) {
        decoder.decodeArgument(texts.at(i), i + 1);
    }
    for (const QString& file : std::as_const(files)) {
        decoder.decodeFile(file);
    }

    if (!out.flush()) {
        std::fprintf(stderr, "tarnup-decode: cannot write the output: %s\n", out.why());
    }
    messages.flush();
    return decoder.exitCode();
}
