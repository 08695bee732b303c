// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "recording_start.h"
#include "udp_source.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace decodecli {

namespace {

ParsedOptions usageError(const QString& message)
{
    ParsedOptions parsed;
    parsed.action = ParsedOptions::Action::usageError;
    parsed.message = message;
    return parsed;
}

// --udp listens instead of reading anything.
ParsedOptions parseUdpOptions(const QCommandLineParser& parser, ParsedOptions parsed)
{
    Options& options = parsed.options;
    if (!options.texts.isEmpty() || !options.files.isEmpty() || parser.isSet(u"audio"_s)) {
        return usageError(u"--udp listens to the network: no FILE, --beacon or --audio with it"_s);
    }
    options.udp = parser.value(u"udp"_s);
    QHostAddress host;
    quint16 port = 0;
    QString error;
    if (!audiostream::parseUdpAddress(options.udp, &host, &port, &error)) {
        return usageError(error);
    }
    options.rate = int(audiostream::defaultUdpRate);
    if (parser.isSet(u"rate"_s)) {
        bool ok = false;
        options.rate = parser.value(u"rate"_s).toInt(&ok);
        if (!ok || options.rate < 1000) {
            return usageError(u"--rate needs the sample rate in Hz (at least 1000)"_s);
        }
    }
    if (parser.isSet(u"duration"_s)) {
        bool ok = false;
        options.duration = parser.value(u"duration"_s).toDouble(&ok);
        if (!ok || !(options.duration > 0.0)) {
            return usageError(u"--duration needs a number of seconds above 0"_s);
        }
    }
    options.morseText = parser.isSet(u"morse-text"_s);
    if (parser.isSet(u"start-time"_s)) {
        return usageError(u"--start-time goes with --audio: a live stream starts now"_s);
    }
    if (parser.isSet(u"log"_s)) {
        options.logPath = parser.value(u"log"_s);
        if (options.logPath.isEmpty() || options.morseText) {
            return usageError(u"--log needs the logbook's file name, and beacons to log (no --morse-text)"_s);
        }
    }
    return parsed;
}

} // namespace

ParsedOptions parseOptions(const QStringList& arguments)
{
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
        u"rate"_s, u"Sample rate of the raw PCM read with --audio - or --udp (default 48000)."_s, u"hz"_s);
    const QCommandLineOption udpOption(u"udp"_s,
        u"Listen for the audio stream of an SDR program (raw signed 16-bit mono PCM datagrams, as gqrx "
        u"and SDR++ send) on [HOST:]PORT (host 127.0.0.1 unless given) and decode it live."_s,
        u"[host:]port"_s);
    const QCommandLineOption durationOption(u"duration"_s,
        u"With --udp: stop after this many seconds (else at Ctrl+C or SIGTERM)."_s, u"seconds"_s);
    const QCommandLineOption morseTextOption(
        u"morse-text"_s, u"With --audio: print the raw decoded Morse text instead of reports."_s);
    const QCommandLineOption logOption(u"log"_s,
        u"Record every beacon decoded in the logbook <file> (SQLite; the window's is beacons.sqlite in "
        u"the user's data folder), with its UTC time."_s,
        u"file"_s);
    const QCommandLineOption startTimeOption(u"start-time"_s,
        u"With --audio: when the recording began (ISO 8601, e.g. 2026-12-07T10:21:33Z; UTC when no zone "
        u"is given). Else it comes from the file name or the file's modification time."_s,
        u"time"_s);
    parser.addOptions({ formatOption, beaconOption, quietOption, audioOption, rateOption, morseTextOption,
        logOption, startTimeOption, udpOption, durationOption });
    addUploadOptions(parser);
    parser.addPositionalArgument(u"FILE"_s, u"A log to decode; - or none: standard input."_s, u"[FILE...]"_s);

    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    ParsedOptions parsed;
    if (parser.isSet(helpOption)) {
        parsed.action = ParsedOptions::Action::help;
        parsed.message = parser.helpText();
        return parsed;
    }
    if (parser.isSet(versionOption)) {
        parsed.action = ParsedOptions::Action::version;
        return parsed;
    }

    Options& options = parsed.options;
    const QString formatName = parser.value(formatOption);
    if (formatName == u"text") {
        options.format = Format::text;
    } else if (formatName == u"json") {
        options.format = Format::json;
    } else if (formatName == u"csv") {
        options.format = Format::csv;
    } else {
        return usageError(u"unknown format '%1' (use text, json or csv)"_s.arg(formatName));
    }
    options.quiet = parser.isSet(quietOption);

    options.texts = parser.values(beaconOption);
    options.files = parser.positionalArguments();
    if (parser.isSet(udpOption)) {
        return parseUdpOptions(parser, std::move(parsed));
    }
    if (parser.isSet(durationOption)) {
        return usageError(u"--duration goes with --udp"_s);
    }
    if (!options.texts.isEmpty() && !options.files.isEmpty()) {
        return usageError(u"give texts with --beacon or files to read, not both"_s);
    }
    if (options.texts.isEmpty() && options.files.isEmpty()) {
        options.files.append(u"-"_s);
    }

    options.audio = parser.isSet(audioOption);
    options.morseText = parser.isSet(morseTextOption);
    if (options.audio) {
        if (!options.texts.isEmpty()) {
            return usageError(u"--audio decodes files, not --beacon texts"_s);
        }
        if (options.files.contains(u"-"_s)) {
            bool ok = false;
            options.rate = parser.value(rateOption).toInt(&ok);
            if (!ok || options.rate < 1000) {
                return usageError(u"--audio - needs --rate, the sample rate in Hz (at least 1000)"_s);
            }
        }
    } else if (options.morseText || parser.isSet(rateOption) || parser.isSet(startTimeOption)) {
        return usageError(
            u"--morse-text, --rate and --start-time go with --audio (--morse-text and --rate also with --udp)"_s);
    }

    if (parser.isSet(startTimeOption)) {
        options.startTime = logbook::parseStartTime(parser.value(startTimeOption));
        if (!options.startTime.isValid()) {
            return usageError(u"--start-time '%1' is not an ISO 8601 time such as 2026-12-07T10:21:33Z"_s.arg(
                parser.value(startTimeOption)));
        }
        if (options.files.size() != 1) {
            return usageError(u"--start-time gives the start of one recording"_s);
        }
    }
    if (parser.isSet(logOption)) {
        options.logPath = parser.value(logOption);
        if (options.logPath.isEmpty()) {
            return usageError(u"--log needs the logbook's file name"_s);
        }
        if (options.morseText) {
            return usageError(u"--morse-text prints no beacons to log"_s);
        }
    }
    if (QString error = readUploadOptions(parser, !options.logPath.isEmpty(), options.upload);
        !error.isEmpty()) {
        return usageError(error);
    }
    return parsed;
}

} // namespace decodecli
