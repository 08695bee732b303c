// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "upload_options.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace decodecli {

enum class Format { text, json, csv };

// Everything the command line asked for.
struct Options
{
    Format format = Format::text;
    bool quiet = false;
    QStringList texts; // given with --beacon
    QStringList files; // "-" is standard input; never empty when texts is empty
    bool audio = false;
    bool morseText = false;
    int rate = 0; // of raw PCM on standard input; set when files holds "-" with --audio, or with --udp
    QString udp; // [HOST:]PORT to listen on for raw PCM datagrams; files and texts are then empty
    double duration = 0; // with --udp: seconds to listen, 0 until interrupted
    QString logPath; // --log: the logbook every beacon is recorded in; empty for none
    QDateTime startTime; // --start-time: when the one recording began, in UTC; invalid when not given
    UploadOptions upload;
};

struct ParsedOptions
{
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    Options options;
    QString message; // the help text, or what is wrong with the command line
};

// Reads `arguments` (the program name first) without printing anything.
ParsedOptions parseOptions(const QStringList& arguments);

} // namespace decodecli
