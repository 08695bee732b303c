// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_decoder.h"
#include "beacon_logger.h"
#include "options.h"
#include "output_stream.h"
#include "uploader.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace decodecli;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tarnup-decode"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNUP_VERSION));

    const ParsedOptions parsed = parseOptions(QCoreApplication::arguments());
    switch (parsed.action) {
    case ParsedOptions::Action::usageError:
        std::fprintf(stderr, "tarnup-decode: %s\nTry 'tarnup-decode --help' for more information.\n",
            qUtf8Printable(parsed.message));
        return failed;
    case ParsedOptions::Action::help:
        std::fputs(qUtf8Printable(parsed.message), stdout);
        return allBeacons;
    case ParsedOptions::Action::version:
        std::printf("tarnup-decode %s\n", TARNUP_VERSION);
        return allBeacons;
    case ParsedOptions::Action::run:
        break;
    }

    const UploadOptions& upload = parsed.options.upload;
    const forwarding::StationSettings station = uploadStation(upload);
    if (const QString problems = station.problems();
        (upload.logged || upload.pending) && !problems.isEmpty()) {
        std::fprintf(stderr,
            "tarnup-decode: cannot upload: the station settings have %s (set them in the window's Receive > "
            "Station... or give --callsign, --lat, --lon, --norad, --sids-url)\n",
            qUtf8Printable(problems));
        return failed;
    }
    BeaconLogger log;
    if (QString error; !parsed.options.logPath.isEmpty() && !log.open(parsed.options.logPath, &error)) {
        std::fprintf(stderr, "tarnup-decode: cannot open the log %s\n", qUtf8Printable(error));
        return failed;
    }
    if (upload.pending) {
        return uploadPending(log.book(), station, parsed.options.quiet) ? allBeacons : uploadsLeft;
    }
    if (upload.logged) {
        log.queueForUpload(station.callsign);
    }
    OutputStream out(stdout);
    OutputStream messages(stderr);
    BatchDecoder decoder(parsed.options, out, messages, parsed.options.logPath.isEmpty() ? nullptr : &log);
    decoder.run();
    if (!out.flush()) {
        std::fprintf(stderr, "tarnup-decode: cannot write the output: %s\n", out.why());
    }
    messages.flush();
    if (upload.logged && !uploadLogged(log.book(), log.queuedIds(), station, parsed.options.quiet) &&
        decoder.exitCode() != failed) {
        return uploadsLeft;
    }
    return decoder.exitCode();
}
