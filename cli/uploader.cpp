// SPDX-License-Identifier: GPL-3.0-or-later
#include "uploader.h"

#include "forwarder.h"
#include "logbook.h"
#include "logbook_queue.h"

#include <QEventLoop>
#include <QSet>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace decodecli {

namespace {

void say(const QString& message)
{
    std::fprintf(stderr, "tarnup-decode: %s\n", qUtf8Printable(message));
}

bool uploadAndWait(logbook::Logbook& book, const forwarding::StationSettings& station,
    const std::vector<forwarding::Upload>& uploads, bool quiet)
{
    const QString server = station.sidsUrl.toString();
    if (uploads.empty()) {
        if (!quiet) {
            say(u"nothing to upload"_s);
        }
        return true;
    }
    forwarding::LogbookQueue queue(book);
    forwarding::Forwarder forwarder(queue);
    forwarder.setStation(station);
    int sent = 0;
    int refused = 0;
    QString lastProblem;
    QObject::connect(&forwarder, &forwarding::Forwarder::uploadFinished,
        [&](qint64 id, forwarding::UploadOutcome outcome, const QString& message) {
            switch (outcome) {
            case forwarding::UploadOutcome::sent:
                ++sent;
                break;
            case forwarding::UploadOutcome::failed:
                ++refused;
                say(u"logbook entry %1 refused by %2, not retried: %3"_s.arg(id).arg(server, message));
                break;
            case forwarding::UploadOutcome::retry:
                lastProblem = message;
                break;
            }
        });
    QObject::connect(&forwarder, &forwarding::Forwarder::cannotSend,
        [&](const QString& message) { lastProblem = message; });
    QEventLoop loop;
    QObject::connect(&forwarder, &forwarding::Forwarder::idle, &loop, &QEventLoop::quit);
    forwarder.send(uploads);
    if (forwarder.isBusy()) {
        loop.exec();
    }

    const auto total = qsizetype(uploads.size());
    const qsizetype queued = total - sent - refused;
    if (queued > 0) {
        say(u"%1 of %2 beacons not uploaded and still queued (send them later with --upload-pending): %3"_s
                .arg(queued)
                .arg(total)
                .arg(lastProblem));
    }
    if (!quiet && sent > 0) {
        say(u"%1 of %2 beacons uploaded to %3"_s.arg(sent).arg(total).arg(server));
    }
    return sent == total;
}

} // namespace

bool uploadLogged(
    logbook::Logbook& book, const QList<qint64>& ids, const forwarding::StationSettings& station, bool quiet)
{
    const QSet<qint64> wanted(ids.cbegin(), ids.cend());
    std::vector<forwarding::Upload> uploads;
    for (const logbook::Entry& entry : book.entries()) {
        if (wanted.contains(entry.id) && entry.uploadState == u"queued") {
            uploads.push_back(forwarding::uploadOf(entry));
        }
    }
    return uploadAndWait(book, station, uploads, quiet);
}

bool uploadPending(logbook::Logbook& book, const forwarding::StationSettings& station, bool quiet)
{
    return uploadAndWait(book, station, forwarding::LogbookQueue(book).queuedUploads(), quiet);
}

} // namespace decodecli
