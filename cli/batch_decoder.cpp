// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_decoder.h"

#include "cw_audio.h"
#include "line_input.h"
#include "recording_duration.h"
#include "recording_start.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace decodecli {

namespace {

constexpr qsizetype chunkSize = qsizetype { 256 } * 1024;

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

} // namespace

BatchDecoder::BatchDecoder(
    const Options& options, OutputStream& out, OutputStream& messages, BeaconLogger* log)
    : m_options(options)
    , m_out(out)
    , m_messages(messages)
    , m_writer(makeRecordWriter(
          options.format, out, (options.audio || !options.udp.isEmpty()) && options.morseText))
    , m_log(log)
{
}

void BatchDecoder::run()
{
    if (!m_options.udp.isEmpty()) {
        decodeUdp();
        return;
    }
    for (qsizetype i = 0; i < m_options.texts.size(); ++i) {
        decodeArgument(m_options.texts.at(i), i + 1);
    }
    for (const QString& file : m_options.files) {
        if (m_options.audio) {
            decodeAudio(file);
        } else {
            decodeFile(file);
        }
    }
}

int BatchDecoder::exitCode() const
{
    if (m_error || m_out.failed()) {
        return failed;
    }
    return m_sawNotBeacon ? someNotBeacons : allBeacons;
}

void BatchDecoder::decodeArgument(const QString& text, qint64 place)
{
    Origin origin;
    origin.line = place;
    handle(origin, u"--beacon %1"_s.arg(place), receiveText(text));
}

void BatchDecoder::decodeFile(const QString& path)
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

// A recording (or raw s16le mono from standard input for "-"): each beacon is written as soon as
// it is complete, or with --morse-text the decoded text itself.
void BatchDecoder::decodeAudio(const QString& path)
{
    const bool standardInput = path == u"-";
    Origin origin(path);
    QDateTime start = m_options.startTime;
    if (!start.isValid()) {
        // Raw audio arrives live: it starts now.
        start = standardInput ? QDateTime::currentDateTimeUtc()
                              : logbook::recordingStart(path, recordingDuration(path));
    }
    bool any = false;
    const cwaudio::DecodeHandlers handlers = audioHandlers(
        origin, any,
        [start](double time) {
            return start.isValid() ? start.addMSecs(std::llround(time * 1000.0)) : QDateTime();
        },
        standardInput);
    const QString error = standardInput
        ? cwaudio::decodeRawStream(stdin, m_options.rate, u"(standard input)"_s, handlers)
        : cwaudio::decodeAudioFile(path, handlers);
    if (m_options.morseText) {
        m_out.buffer().append('\n');
        m_out.recordDone();
    }
    if (!error.isEmpty()) {
        fileError(error);
    } else if (!any && !m_options.morseText) {
        m_sawNotBeacon = true;
    }
}

cwaudio::DecodeHandlers BatchDecoder::audioHandlers(
    Origin& origin, bool& any, std::function<QDateTime(double time)> utcOf, bool live)
{
    cwaudio::DecodeHandlers handlers;
    if (m_options.morseText) {
        handlers.text = [this, live](std::string_view text, std::span<const float>) {
            m_out.buffer().append(text.data(), qsizetype(text.size()));
            if (live) {
                m_out.flush();
            }
        };
        return handlers;
    }
    handlers.beacon = [this, &origin, &any, utcOf = std::move(utcOf)](const cwaudio::AudioBeacon& heard) {
        any = true;
        ++origin.line;
        Measurement measured;
        measured.time = heard.time;
        measured.utc = utcOf(heard.time);
        measured.wpm = heard.wpm;
        measured.toneHz = heard.toneHz;
        measured.snrDb = heard.snrDb;
        measured.confidence = heard.confidence;
        handle(origin, origin.file(), receiveText(heard.text), &measured);
        // Live listeners want every beacon the moment it is complete.
        m_out.flush();
    };
    return handlers;
}

void BatchDecoder::handle(const Origin& origin, const QString& shownName, const ReceivedText& received,
    const Measurement* measurement)
{
    if (received.blank) {
        return;
    }
    if (received.invalidUtf8) {
        warn(origin, shownName, "not valid UTF-8, read with U+FFFD for each bad sequence");
    }
    if (!received.isBeacon()) {
        m_sawNotBeacon = true;
        if (!m_writer->writesNonBeacons()) {
            warn(origin, shownName, "not a beacon");
            return;
        }
    }
    if (m_log && received.isBeacon()) {
        QString why;
        const bool logged = measurement ? m_log->logAudio(origin, received.frame, *measurement, &why)
                                        : m_log->logText(origin, received.frame, &why);
        if (!logged) {
            logError(why);
        }
    }
    m_writer->write(origin, received, measurement);
}

// Said once: a log that cannot be written usually stays so, and every beacon would repeat it.
void BatchDecoder::logError(const QString& message)
{
    m_error = true;
    if (!m_logFailed) {
        m_logFailed = true;
        fileError(u"cannot log to %1: %2"_s.arg(m_options.logPath, message));
    }
}

void BatchDecoder::warn(const Origin& origin, const QString& shownName, const char* what)
{
    if (m_options.quiet) {
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

void BatchDecoder::fileError(const QString& message)
{
    m_error = true;
    QByteArray& text = m_messages.buffer();
    text.append("tarnup-decode: ");
    appendUtf8(text, message);
    text.append('\n');
    m_messages.flush();
}

} // namespace decodecli
