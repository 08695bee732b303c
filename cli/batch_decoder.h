// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_logger.h"
#include "options.h"
#include "output_stream.h"
#include "record_writer.h"

#include "cw_audio.h"

#include <QString>

#include <functional>
#include <memory>

namespace decodecli {

enum ExitCode { allBeacons = 0, someNotBeacons = 1, failed = 2, uploadsLeft = 3 };

// Decodes texts, logs and recordings in the order given and hands each result to one writer.
class BatchDecoder
{
public:
    // `log` records every beacon, or is null.
    BatchDecoder(
        const Options& options, OutputStream& out, OutputStream& messages, BeaconLogger* log = nullptr);

    void run();
    int exitCode() const;

private:
    void decodeArgument(const QString& text, qint64 place);
    void decodeFile(const QString& path);
    void decodeAudio(const QString& path);
    // Listens to --udp until --duration has passed, SIGINT or SIGTERM (udp_listen.cpp).
    void decodeUdp();
    // What the audio decoder calls for `origin`: each beacon written as soon as it is complete,
    // `utcOf` dating it from its offset, `any` set; with --morse-text the decoded text instead,
    // flushed as it comes when `live`.
    cwaudio::DecodeHandlers audioHandlers(
        Origin& origin, bool& any, std::function<QDateTime(double time)> utcOf, bool live);
    void handle(const Origin& origin, const QString& shownName, const ReceivedText& received,
        const Measurement* measurement = nullptr);
    void warn(const Origin& origin, const QString& shownName, const char* what);
    void fileError(const QString& message);
    void logError(const QString& message);

    const Options& m_options;
    OutputStream& m_out;
    OutputStream& m_messages;
    std::unique_ptr<RecordWriter> m_writer;
    BeaconLogger* m_log;
    bool m_logFailed = false;
    bool m_sawNotBeacon = false;
    bool m_error = false;
};

} // namespace decodecli
