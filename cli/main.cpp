// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_decoder.h"
#include "beacon_logger.h"
#include "options.h"
#include "output_stream.h"

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

    BeaconLogger log;
    if (QString error; !parsed.options.logPath.isEmpty() && !log.open(parsed.options.logPath, &error)) {
        std::fprintf(stderr, "tarnup-decode: cannot open the log %s\n", qUtf8Printable(error));
        return failed;
    }
    OutputStream out(stdout);
    OutputStream messages(stderr);
    BatchDecoder decoder(parsed.options, out, messages, parsed.options.logPath.isEmpty() ? nullptr : &log);
    decoder.run();
    if (!out.flush()) {
        std::fprintf(stderr, "tarnup-decode: cannot write the output: %s\n", out.why());
    }
    messages.flush();
    return decoder.exitCode();
}
