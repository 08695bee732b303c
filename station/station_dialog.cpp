// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_dialog.h"
#include "maidenhead.h"
#include "station_summary.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLineEdit* createEdit(QWidget* parent, const QString& name, const QString& placeholder)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

std::optional<double> numberIn(const QLineEdit* edit)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(edit->text().trimmed(), &ok);
    return ok ? std::optional(value) : std::nullopt;
}

QString numberText(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'f', 5) : QString();
}

} // namespace

StationDialog::StationDialog(const forwarding::StationSettings& station, QWidget* parent)
    : QDialog(parent)
    , m_original(station)
{
    setObjectName(u"StationDialog"_s);
    setWindowTitle(u"Station"_s);
    createControls();
    showSettings(station);
    updateSummary();
}

QAction* StationDialog::addMenuEntry(QMenu* menu, QWidget* owner, const std::function<void()>& saved)
{
    QAction* action = menu->addAction(u"Station\u2026"_s);
    action->setObjectName(u"MnuStation"_s);
    QObject::connect(action, &QAction::triggered, owner, [owner, saved] {
        auto* dialog = new StationDialog(forwarding::StationSettings::load(), owner);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QDialog::accepted, owner, [dialog, saved] {
            dialog->settings().save();
            if (saved) {
                saved();
            }
        });
        dialog->open();
    });
    return action;
}

void StationDialog::createControls()
{
    callsignEdit = createEdit(this, u"CallsignEdit"_s, u"your callsign, e.g. DL1ABC"_s);
    callsignEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"[A-Za-z0-9/-]{0,20}"_s), this));

    auto* latitudeValidator = new QDoubleValidator(-90, 90, 6, this);
    latitudeValidator->setLocale(QLocale::c());
    latitudeEdit = createEdit(this, u"LatitudeEdit"_s, u"degrees, north positive, e.g. 49.73145"_s);
    latitudeEdit->setValidator(latitudeValidator);
    auto* longitudeValidator = new QDoubleValidator(-180, 180, 6, this);
    longitudeValidator->setLocale(QLocale::c());
    longitudeEdit = createEdit(this, u"LongitudeEdit"_s, u"degrees, east positive, e.g. 8.95564"_s);
    longitudeEdit->setValidator(longitudeValidator);
    locatorEdit = createEdit(this, u"LocatorEdit"_s, u"or a locator, e.g. JN49cr: fills in the position"_s);
    locatorEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"[A-Ra-r0-9a-xA-X]{0,8}"_s), this));

    noradEdit = createEdit(this, u"NoradEdit"_s, u"the satellite's NORAD catalogue number"_s);
    noradEdit->setValidator(new QIntValidator(1, 999999999, this));

    urlEdit = createEdit(this, u"UrlEdit"_s, forwarding::defaultSidsUrl().toString());
    auto* defaultUrl = new QPushButton(u"SatNOGS DB"_s, this);
    defaultUrl->setObjectName(u"DefaultUrlButton"_s);
    defaultUrl->setToolTip(u"Sets SatNOGS DB's telemetry endpoint, the usual place to share beacons"_s);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(urlEdit, 1);
    urlRow->addWidget(defaultUrl);

    forwardingCheck = new QCheckBox(u"&Forward logged beacons to the server"_s, this);
    forwardingCheck->setObjectName(u"ForwardingCheck"_s);

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(u"SummaryLabel"_s);
    summaryLabel->setWordWrap(true);
    summaryLabel->setTextFormat(Qt::RichText);
    summaryLabel->setMinimumWidth(420);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* form = new QFormLayout;
    form->addRow(u"&Callsign:"_s, callsignEdit);
    form->addRow(u"&Latitude:"_s, latitudeEdit);
    form->addRow(u"L&ongitude:"_s, longitudeEdit);
    form->addRow(u"Loca&tor:"_s, locatorEdit);
    form->addRow(u"&NORAD number:"_s, noradEdit);
    auto* urlLabel = new QLabel(u"SiDS &server:"_s, this);
    urlLabel->setBuddy(urlEdit);
    form->addRow(urlLabel, urlRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(forwardingCheck);
    layout->addWidget(summaryLabel);
    layout->addWidget(buttons);

    for (QLineEdit* edit : { callsignEdit, latitudeEdit, longitudeEdit, noradEdit, urlEdit }) {
        connect(edit, &QLineEdit::textChanged, this, &StationDialog::updateSummary);
    }
    connect(locatorEdit, &QLineEdit::textEdited, this, &StationDialog::locatorEdited);
    connect(defaultUrl, &QPushButton::clicked, this, &StationDialog::defaultUrlClicked);
    connect(forwardingCheck, &QCheckBox::toggled, this, &StationDialog::updateSummary);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void StationDialog::showSettings(const forwarding::StationSettings& station)
{
    callsignEdit->setText(station.callsign);
    latitudeEdit->setText(numberText(station.latitude));
    longitudeEdit->setText(numberText(station.longitude));
    noradEdit->setText(station.noradId ? QString::number(*station.noradId) : QString());
    urlEdit->setText(station.sidsUrl.toString());
    forwardingCheck->setChecked(station.forwardingOn);
}

forwarding::StationSettings StationDialog::settings() const
{
    forwarding::StationSettings station = m_original;
    station.callsign = callsignEdit->text().trimmed().toUpper();
    station.latitude = numberIn(latitudeEdit);
    station.longitude = numberIn(longitudeEdit);
    bool ok = false;
    const int norad = noradEdit->text().trimmed().toInt(&ok);
    station.noradId = ok ? std::optional(norad) : std::nullopt;
    const QString url = urlEdit->text().trimmed();
    station.sidsUrl = url.isEmpty() ? forwarding::defaultSidsUrl() : QUrl(url);
    station.forwardingOn = forwardingCheck->isChecked();
    return station;
}

void StationDialog::locatorEdited()
{
    const std::optional<forwarding::GeoPosition> centre = forwarding::locatorCentre(locatorEdit->text());
    if (centre) {
        latitudeEdit->setText(numberText(centre->latitude));
        longitudeEdit->setText(numberText(centre->longitude));
    }
}

void StationDialog::defaultUrlClicked()
{
    urlEdit->setText(forwarding::defaultSidsUrl().toString());
}

void StationDialog::updateSummary()
{
    summaryLabel->setText(stationSummary(settings()));
}
