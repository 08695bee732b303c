// SPDX-License-Identifier: GPL-3.0-or-later
#include "typed_beacon_log.h"

#include "background_writer.h"
#include "beacon.h"
#include "edit_field.h"
#include "station_settings.h"

#include <QEvent>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace {

// The beacon the window decodes from `text`, or null.
QString frameOf(const QString& text)
{
    if (beacon::tooLongForBeacon(text)) {
        return {};
    }
    QString frame = beacon::normaliseBeacon(text);
    return beacon::isBeacon(frame) ? frame : QString();
}

} // namespace

TypedBeaconLog::TypedBeaconLog(QPlainTextEdit* input, logbook::BackgroundWriter* writer, QObject* parent)
    : QObject(parent)
    , m_input(input)
    , m_writer(writer)
{
    m_clock.start();
    m_rest.setSingleShot(true);
    m_rest.setInterval(int(TypedBeaconSettler::restMs));
    connect(&m_rest, &QTimer::timeout, this, [this] { log(m_settler.settle(m_clock.elapsed())); });
    connect(m_input, &QPlainTextEdit::textChanged, this, &TypedBeaconLog::inputChanged);
    m_input->window()->installEventFilter(this);
}

bool TypedBeaconLog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == m_input->window()) {
        m_rest.stop();
        log(m_settler.settle(m_clock.elapsed()));
    }
    return QObject::eventFilter(watched, event);
}

void TypedBeaconLog::inputChanged()
{
    m_rest.start();
    log(m_settler.inputChanged(frameOf(EditField(*m_input).text()), m_clock.elapsed()));
}

void TypedBeaconLog::log(const std::optional<QString>& beacon)
{
    // A beacon the Receiver put there is logged as heard, not as typed.
    if (!beacon || m_input->property("heardBeacons").toStringList().contains(*beacon)) {
        return;
    }
    logbook::Entry e;
    e.utc = QDateTime::currentDateTimeUtc();
    e.beacon = *beacon;
    e.source = u"typed"_s;
    const auto station = forwarding::StationSettings::load();
    e.callsign = station.callsign.trimmed();
    e.uploadState = station.newEntryUploadState();
    m_writer->append(e);
}
