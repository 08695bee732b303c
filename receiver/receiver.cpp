// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver.h"
#include "confidence_text.h"
#include "recording_start.h"
#include "sound_card_source.h"
#include "udp_source.h"
#include "waterfall.h"
#include "waterfall_rows.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using audiostream::RecordingDecoder;

namespace {

enum BeaconColumn { timeColumn, beaconColumn, wpmColumn, toneColumn, snrColumn, sourceColumn };
constexpr int offsetRole = Qt::UserRole; // seconds into the recording, on beacons of the current one

constexpr int minSnrDb = -10;
constexpr int maxSnrDb = 40;

QString utcText(const QDateTime& utc)
{
    return utc.toUTC().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

// Any rate the decoder reads; the list holds what SDR programs offer.
QSpinBox* createRateBox(QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(4000, 384000);
    box->setSingleStep(1000);
    box->setSuffix(u" Hz"_s);
    return box;
}

} // namespace

Receiver::Receiver(QWidget* parent)
    : QMainWindow(parent)
    , m_settings(ReceiverSettings::load())
{
    setObjectName(u"Receiver"_s);
    setWindowTitle(u"TARNU-PII Receiver"_s);
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    createControls();
    createMenus();

    connect(&m_live, &audiostream::LiveDecoder::started, this, &Receiver::liveStarted);
    connect(&m_live, &audiostream::LiveDecoder::stopped, this, &Receiver::liveStopped);
    // A notice withdrawn (the stream is back) leaves the listening message again.
    connect(&m_live, &audiostream::LiveDecoder::notice, this,
        [this](const QString& text) { setMessage(text.isEmpty() ? m_listening : text, !text.isEmpty()); });
    connect(&m_live, &audiostream::LiveDecoder::beaconHeard, this, &Receiver::liveBeacon);
    connect(&m_live, &audiostream::LiveDecoder::textDecoded, this, &Receiver::showText);
    connect(&m_live, &audiostream::LiveDecoder::statusChanged, this, &Receiver::showStatus);
    connect(&m_live, &audiostream::LiveDecoder::spectrumRow, waterfall, &Waterfall::addRow);
    connect(&m_recording, &RecordingDecoder::opened, this, &Receiver::recordingOpened);
    connect(&m_recording, &RecordingDecoder::progress, this, &Receiver::recordingProgress);
    connect(&m_recording, &RecordingDecoder::beaconHeard, this, &Receiver::recordingBeacon);
    connect(&m_recording, &RecordingDecoder::textDecoded, this, &Receiver::showText);
    connect(&m_recording, &RecordingDecoder::statusChanged, this, &Receiver::showStatus);
    connect(&m_recording, &RecordingDecoder::spectrumRow, waterfall, &Waterfall::addRow);
    connect(&m_recording, &RecordingDecoder::finished, this, &Receiver::recordingFinished);

    if (!m_settings.geometry.isEmpty()) {
        restoreGeometry(m_settings.geometry);
    } else {
        resize(820, 620);
    }
}

Receiver::~Receiver()
{
    // The program may end with this window still open, without a close event.
    storeSettings();
}

void Receiver::createControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);

    auto* sourceRow = new QHBoxLayout;
    sourceBox = new QComboBox(client);
    sourceBox->setObjectName(u"SourceBox"_s);
    sourceBox->addItem(u"Sound card"_s, int(ReceiverSettings::Source::soundCard));
    sourceBox->addItem(u"UDP audio stream (SDR program)"_s, int(ReceiverSettings::Source::udp));
    sourceBox->addItem(u"Recording"_s, int(ReceiverSettings::Source::recording));
    auto* sourceLabel = new QLabel(u"&Source:"_s, client);
    sourceLabel->setBuddy(sourceBox);
    sourceRow->addWidget(sourceLabel);
    sourceRow->addWidget(sourceBox);

    sourceDetails = new QStackedWidget(client);
    deviceBox = new QComboBox(sourceDetails);
    deviceBox->setObjectName(u"DeviceBox"_s);
    deviceBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    deviceBox->setMinimumContentsLength(24);
    sourceDetails->addWidget(deviceBox);

    auto* udpPage = new QWidget(sourceDetails);
    auto* udpRow = new QHBoxLayout(udpPage);
    udpRow->setContentsMargins(0, 0, 0, 0);
    hostEdit = new QLineEdit(m_settings.udpHost, udpPage);
    hostEdit->setObjectName(u"HostEdit"_s);
    hostEdit->setToolTip(u"Address to listen on: 127.0.0.1 for this computer, 0.0.0.0 for any"_s);
    hostEdit->setMaximumWidth(130);
    portBox = new QSpinBox(udpPage);
    portBox->setObjectName(u"PortBox"_s);
    portBox->setRange(1, 65535);
    portBox->setValue(m_settings.udpPort);
    rateBox = createRateBox(udpPage);
    rateBox->setObjectName(u"RateBox"_s);
    rateBox->setValue(m_settings.udpRate);
    udpRow->addWidget(new QLabel(u"Address"_s, udpPage));
    udpRow->addWidget(hostEdit);
    udpRow->addWidget(new QLabel(u"Port"_s, udpPage));
    udpRow->addWidget(portBox);
    udpRow->addWidget(new QLabel(u"Rate"_s, udpPage));
    udpRow->addWidget(rateBox);
    sourceDetails->addWidget(udpPage);

    auto* filePage = new QWidget(sourceDetails);
    auto* fileRow = new QHBoxLayout(filePage);
    fileRow->setContentsMargins(0, 0, 0, 0);
    pathEdit = new QLineEdit(m_settings.recordingPath, filePage);
    pathEdit->setObjectName(u"PathEdit"_s);
    pathEdit->setPlaceholderText(u"recording file (WAV, FLAC, OGG, ...)"_s);
    browseButton = new QPushButton(u"Browse\u2026"_s, filePage);
    fileRow->addWidget(pathEdit, 1);
    fileRow->addWidget(browseButton);
    sourceDetails->addWidget(filePage);
    sourceRow->addWidget(sourceDetails, 1);

    startButton = new QPushButton(u"Start"_s, client);
    startButton->setObjectName(u"StartButton"_s);
    startButton->setDefault(true);
    sourceRow->addWidget(startButton);
    layout->addLayout(sourceRow);

    waterfall = new Waterfall(audiostream::WaterfallRows::lowHz, audiostream::WaterfallRows::highHz,
        audiostream::WaterfallRows::columns, client);
    waterfall->setObjectName(u"Waterfall"_s);
    layout->addWidget(waterfall, 3);

    auto* meterRow = new QHBoxLayout;
    snrMeter = new QProgressBar(client);
    snrMeter->setObjectName(u"SnrMeter"_s);
    snrMeter->setRange(minSnrDb, maxSnrDb);
    snrMeter->setValue(minSnrDb);
    snrMeter->setFormat(u"SNR \u2013"_s);
    snrMeter->setToolTip(u"Tone over the noise in 2500 Hz"_s);
    toneLabel = new QLabel(u"Tone \u2013"_s, client);
    toneLabel->setObjectName(u"ToneLabel"_s);
    toneLabel->setMinimumWidth(190);
    wpmLabel = new QLabel(u"\u2013 WPM"_s, client);
    wpmLabel->setObjectName(u"WpmLabel"_s);
    wpmLabel->setMinimumWidth(70);
    autoToneButton = new QPushButton(u"Search whole band"_s, client);
    autoToneButton->setObjectName(u"AutoToneButton"_s);
    autoToneButton->setToolTip(u"Forget the tone clicked on the waterfall"_s);
    autoToneButton->setEnabled(false);
    meterRow->addWidget(snrMeter, 1);
    meterRow->addWidget(toneLabel);
    meterRow->addWidget(wpmLabel);
    meterRow->addWidget(autoToneButton);
    layout->addLayout(meterRow);

    recordingRow = new QWidget(client);
    auto* recordingLayout = new QHBoxLayout(recordingRow);
    recordingLayout->setContentsMargins(0, 0, 0, 0);
    progressBar = new QProgressBar(recordingRow);
    progressBar->setObjectName(u"ProgressBar"_s);
    progressBar->setRange(0, 1000);
    progressBar->setValue(0);
    progressBar->setFormat(u"%p%"_s);
    cancelButton = new QPushButton(u"Cancel"_s, recordingRow);
    cancelButton->setObjectName(u"CancelButton"_s);
    cancelButton->setEnabled(false);
    startTimeEdit = new QDateTimeEdit(recordingRow);
    startTimeEdit->setObjectName(u"StartTimeEdit"_s);
    startTimeEdit->setTimeSpec(Qt::UTC);
    startTimeEdit->setDisplayFormat(u"yyyy-MM-dd HH:mm:ss"_s);
    startTimeEdit->setToolTip(u"When the recording began; correct it and the beacons' times follow"_s);
    recordingLayout->addWidget(progressBar, 1);
    recordingLayout->addWidget(cancelButton);
    recordingLayout->addWidget(new QLabel(u"Recording began (UTC)"_s, recordingRow));
    recordingLayout->addWidget(startTimeEdit);
    recordingRow->setVisible(false);
    layout->addWidget(recordingRow);

    auto* splitter = new QSplitter(Qt::Horizontal, client);
    rawText = new QPlainTextEdit(splitter);
    rawText->setObjectName(u"RawText"_s);
    rawText->setReadOnly(true);
    rawText->setMaximumBlockCount(500);
    rawText->setPlaceholderText(u"decoded Morse; doubtful characters in orange and red"_s);
    QFont mono(u"Liberation Mono"_s);
    mono.setStyleHint(QFont::TypeWriter);
    rawText->setFont(mono);
    beaconList = new QTreeWidget(splitter);
    beaconList->setObjectName(u"BeaconList"_s);
    beaconList->setRootIsDecorated(false);
    beaconList->setHeaderLabels({ u"Time (UTC)"_s, u"Beacon"_s, u"WPM"_s, u"Tone"_s, u"SNR"_s, u"Source"_s });
    beaconList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    beaconList->setFont(mono);
    splitter->addWidget(rawText);
    splitter->addWidget(beaconList);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 2);

    toMainWindow = new QCheckBox(u"Show each beacon in the main window"_s, client);
    toMainWindow->setObjectName(u"ToMainWindow"_s);
    toMainWindow->setChecked(true);
    layout->addWidget(toMainWindow);

    messageLabel = new QLabel(this);
    messageLabel->setObjectName(u"Message"_s);
    messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(messageLabel, 1);

    fillDevices();
    const int index = sourceBox->findData(int(m_settings.source));
    sourceBox->setCurrentIndex(std::max(0, index));
    sourceDetails->setCurrentIndex(sourceBox->currentIndex());

    connect(sourceBox, &QComboBox::currentIndexChanged, this, &Receiver::sourceChosen);
    connect(startButton, &QPushButton::clicked, this, &Receiver::startClicked);
    connect(browseButton, &QPushButton::clicked, this, &Receiver::browseClicked);
    connect(pathEdit, &QLineEdit::returnPressed, this, &Receiver::start);
    connect(cancelButton, &QPushButton::clicked, this, &Receiver::stop);
    connect(startTimeEdit, &QDateTimeEdit::dateTimeChanged, this, &Receiver::startTimeEdited);
    connect(waterfall, &Waterfall::toneClicked, this, &Receiver::toneClicked);
    connect(autoToneButton, &QPushButton::clicked, this, &Receiver::autoToneClicked);
}

void Receiver::createMenus()
{
    QMenu* mnuReceiver = menuBar()->addMenu(u"&Receiver"_s);
    mnuReceiver->setObjectName(u"MnuReceiver"_s);
    QAction* mnuStart = mnuReceiver->addAction(u"&Start / Stop"_s);
    mnuStart->setShortcut(Qt::Key_F5);
    connect(mnuStart, &QAction::triggered, this, &Receiver::startClicked);
    QAction* mnuOpen = mnuReceiver->addAction(u"&Open Recording\u2026"_s);
    mnuOpen->setShortcut(QKeySequence::Open);
    connect(mnuOpen, &QAction::triggered, this, &Receiver::browseClicked);
    QAction* mnuClear = mnuReceiver->addAction(u"C&lear"_s);
    connect(mnuClear, &QAction::triggered, this, [this] {
        rawText->clear();
        beaconList->clear();
        waterfall->clear();
    });
    mnuReceiver->addSeparator();
    QAction* mnuClose = mnuReceiver->addAction(u"&Close"_s);
    mnuClose->setShortcut(QKeySequence::Close);
    connect(mnuClose, &QAction::triggered, this, &QWidget::close);
}

void Receiver::fillDevices()
{
    deviceBox->clear();
    const auto inputs = audiostream::soundCardInputs();
    for (const auto& [id, description] : inputs) {
        deviceBox->addItem(description, id);
    }
    if (inputs.isEmpty()) {
        deviceBox->addItem(u"(no sound card input found)"_s);
        deviceBox->setEnabled(false);
        return;
    }
    deviceBox->setEnabled(true);
    const int index = deviceBox->findData(m_settings.deviceId);
    deviceBox->setCurrentIndex(std::max(0, index));
}

QString Receiver::message() const
{
    return messageLabel->text();
}

void Receiver::setMessage(const QString& text, bool error)
{
    messageLabel->setText(text);
    messageLabel->setStyleSheet(error ? u"color: #b00000; font-weight: bold;"_s : QString());
}

void Receiver::sourceChosen()
{
    sourceDetails->setCurrentIndex(sourceBox->currentIndex());
    if (sourceBox->currentData().toInt() == int(ReceiverSettings::Source::soundCard)) {
        fillDevices();
    }
}

void Receiver::startClicked()
{
    if (isBusy()) {
        stop();
    } else {
        start();
    }
}

void Receiver::browseClicked()
{
    QFileDialog dialog(this, u"Open Recording"_s);
    // Qt's own dialog: its name field takes a full path typed in and Enter, on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(recordingFilters());
    if (!m_settings.recordingPath.isEmpty()) {
        dialog.setDirectory(QFileInfo(m_settings.recordingPath).absolutePath());
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        openRecording(dialog.selectedFiles().constFirst());
    }
}

QStringList Receiver::recordingFilters()
{
    return { u"Recordings (*.wav *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.au *.w64 *.rf64)"_s,
        u"All files (*)"_s };
}

void Receiver::openRecording(const QString& path)
{
    sourceBox->setCurrentIndex(sourceBox->findData(int(ReceiverSettings::Source::recording)));
    pathEdit->setText(path);
    start();
}

void Receiver::start()
{
    stop();
    storeSettings();
    const auto source = ReceiverSettings::Source(sourceBox->currentData().toInt());
    if (source == ReceiverSettings::Source::recording) {
        const QString path = pathEdit->text().trimmed();
        if (path.isEmpty()) {
            setMessage(u"Choose a recording first (Browse\u2026)."_s, true);
            return;
        }
        beginRun();
        m_recordingPath = path;
        m_recordingBusy = true;
        m_recordingShown = true;
        recordingRow->setVisible(true);
        progressBar->setValue(0);
        cancelButton->setEnabled(true);
        // Times shown before the real start is known would be wrong; rows follow once it is.
        beaconList->clear();
        setMessage(u"Decoding %1\u2026"_s.arg(QFileInfo(path).fileName()));
        setBusy(true);
        m_recording.start(path, waterfall->requestedTone());
        return;
    }
    if (source == ReceiverSettings::Source::udp) {
        QHostAddress host;
        quint16 port = 0;
        QString error;
        if (!audiostream::parseUdpAddress(
                u"%1:%2"_s.arg(hostEdit->text().trimmed()).arg(portBox->value()), &host, &port, &error)) {
            setMessage(error, true);
            return;
        }
        const double rate = rateBox->value();
        listen([host, port, rate] { return std::make_unique<audiostream::UdpSource>(host, port, rate); },
            u"udp"_s);
        return;
    }
    const QByteArray device = deviceBox->currentData().toByteArray();
    listen([device] { return std::make_unique<audiostream::SoundCardSource>(device); }, u"soundcard"_s);
}

void Receiver::listen(audiostream::LiveDecoder::SourceFactory factory, const QString& kind)
{
    stop();
    beginRun();
    m_liveKind = kind;
    m_recordingShown = false;
    recordingRow->setVisible(false);
    setMessage(u"Starting\u2026"_s);
    setBusy(true);
    m_live.start(std::move(factory));
}

void Receiver::stop()
{
    if (m_live.isRunning()) {
        m_live.stop();
    }
    if (m_recordingBusy) {
        m_recording.cancel();
    }
}

void Receiver::beginRun()
{
    // A tone clicked on stays asked for: a recording decoded again is decoded near it.
    waterfall->clear();
    snrMeter->setValue(minSnrDb);
    snrMeter->setFormat(u"SNR \u2013"_s);
    toneLabel->setText(u"Tone \u2013"_s);
    wpmLabel->setText(u"\u2013 WPM"_s);
    if (!rawText->document()->isEmpty()) {
        rawText->appendPlainText({});
    }
}

void Receiver::setBusy(bool busy)
{
    startButton->setText(busy ? u"Stop"_s : u"Start"_s);
    sourceBox->setEnabled(!busy);
    sourceDetails->setEnabled(!busy);
}

void Receiver::liveStarted(const QString& sourceName, double sampleRate)
{
    m_listening = u"Listening to %1 at %2 Hz."_s.arg(sourceName).arg(sampleRate);
    setMessage(m_listening);
}

void Receiver::liveStopped(const QString& message)
{
    if (m_recordingBusy) {
        return; // a recording took over; its own end comes later
    }
    setBusy(false);
    if (message.isEmpty()) {
        setMessage(u"Stopped."_s);
    } else {
        setMessage(message.at(0).toUpper() + message.mid(1), true);
    }
    emit idle();
}

void Receiver::liveBeacon(const cwaudio::AudioBeacon& beacon, const QDateTime& utc)
{
    addBeacon({ beacon, utc, m_liveKind, {} }, false);
}

void Receiver::recordingOpened(const QString& path, double durationSeconds, double /*sampleRate*/)
{
    const QSignalBlocker blocker(startTimeEdit);
    startTimeEdit->setDateTime(logbook::recordingStart(path, durationSeconds).toUTC());
}

void Receiver::recordingProgress(double seconds, double durationSeconds)
{
    progressBar->setValue(durationSeconds > 0.0 ? int(1000.0 * seconds / durationSeconds) : 1000);
}

void Receiver::recordingBeacon(const cwaudio::AudioBeacon& beacon)
{
    const QDateTime utc = startTimeEdit->dateTime().addMSecs(qint64(beacon.time * 1000.0));
    addBeacon({ beacon, utc, u"recording"_s, m_recordingPath }, true);
}

void Receiver::recordingFinished(RecordingDecoder::Outcome outcome, const QString& message)
{
    m_recordingBusy = false;
    cancelButton->setEnabled(false);
    setBusy(false);
    const QString name = QFileInfo(m_recordingPath).fileName();
    const int found = beaconList->topLevelItemCount();
    switch (outcome) {
    case RecordingDecoder::Outcome::done:
        progressBar->setValue(1000);
        if (message.isEmpty()) {
            const double near = waterfall->requestedTone();
            const QString where = near > 0.0 ? u" near %1 Hz"_s.arg(near, 0, 'f', 0) : QString();
            setMessage(found == 1 ? u"%1: 1 beacon found%2."_s.arg(name, where)
                                  : u"%1: %2 beacons found%3."_s.arg(name).arg(found).arg(where));
        } else {
            setMessage(message, true);
        }
        break;
    case RecordingDecoder::Outcome::cancelled:
        setMessage(u"%1: cancelled."_s.arg(name));
        break;
    case RecordingDecoder::Outcome::failed:
        m_recordingShown = false;
        recordingRow->setVisible(false);
        setMessage(message, true);
        break;
    }
    emit idle();
}

void Receiver::addBeacon(const FoundBeacon& found, bool fromCurrentRecording)
{
    auto* item = new QTreeWidgetItem;
    item->setText(timeColumn, utcText(found.utc));
    item->setText(beaconColumn, found.heard.text);
    item->setText(wpmColumn, QString::number(found.heard.wpm, 'f', 1));
    item->setText(toneColumn, u"%1 Hz"_s.arg(found.heard.toneHz, 0, 'f', 0));
    item->setText(snrColumn, u"%1 dB"_s.arg(found.heard.snrDb, 0, 'f', 1));
    item->setText(sourceColumn, found.file.isEmpty() ? found.source : QFileInfo(found.file).fileName());
    if (fromCurrentRecording) {
        item->setData(timeColumn, offsetRole, found.heard.time);
    }
    beaconList->addTopLevelItem(item);
    beaconList->scrollToItem(item);
    emit beaconFound(found);
    if (toMainWindow->isChecked()) {
        emit beaconForMainWindow(found.heard.text);
    }
}

void Receiver::startTimeEdited()
{
    const QDateTime start = startTimeEdit->dateTime();
    for (int i = 0; i < beaconList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = beaconList->topLevelItem(i);
        const QVariant offset = item->data(timeColumn, offsetRole);
        if (offset.isValid()) {
            item->setText(timeColumn, utcText(start.addMSecs(qint64(offset.toDouble() * 1000.0))));
        }
    }
}

void Receiver::showText(const QString& text, const QList<float>& confidence)
{
    appendWithConfidence(*rawText, text, confidence);
}

void Receiver::showStatus(const cwaudio::DecoderStatus& status)
{
    if (status.locked) {
        // Whole decibels: the meter repaints (its costliest part) only when the reading moves.
        const int snrDb = int(std::lround(status.snrDb));
        snrMeter->setValue(std::clamp(snrDb, minSnrDb, maxSnrDb));
        snrMeter->setFormat(u"SNR %1 dB"_s.arg(snrDb));
    } else {
        snrMeter->setValue(minSnrDb);
        snrMeter->setFormat(u"SNR \u2013"_s);
    }
    const double requested = waterfall->requestedTone();
    QString tone = status.toneHz > 0.0 ? u"Tone %1 Hz"_s.arg(status.toneHz, 0, 'f', 0) : u"Tone \u2013"_s;
    if (requested > 0.0) {
        tone += u" (near %1)"_s.arg(requested, 0, 'f', 0);
    }
    toneLabel->setText(tone);
    wpmLabel->setText(status.wpm > 0.0 ? u"%1 WPM"_s.arg(status.wpm, 0, 'f', 1) : u"\u2013 WPM"_s);
    waterfall->setFollowedTone(status.locked ? status.toneHz : 0.0);
}

void Receiver::toneClicked(double hz)
{
    autoToneButton->setEnabled(true);
    if (m_live.isRunning()) {
        m_live.setToneHint(hz);
        toneLabel->setText(u"Tone near %1 Hz"_s.arg(hz, 0, 'f', 0));
    } else if (m_recordingShown) {
        decodeRecordingAgain(u"near %1 Hz"_s.arg(hz, 0, 'f', 0));
    } else {
        setMessage(u"Start decodes near %1 Hz."_s.arg(hz, 0, 'f', 0));
    }
}

void Receiver::autoToneClicked()
{
    waterfall->setRequestedTone(0.0);
    autoToneButton->setEnabled(false);
    if (m_live.isRunning()) {
        m_live.clearToneHint();
    } else if (m_recordingShown) {
        decodeRecordingAgain(u"over the whole band"_s);
    }
}

// A recording on screen is what the click was about: it is decoded again from its start with the
// new choice, as a live source would go on with it.
void Receiver::decodeRecordingAgain(const QString& how)
{
    sourceBox->setCurrentIndex(sourceBox->findData(int(ReceiverSettings::Source::recording)));
    pathEdit->setText(m_recordingPath);
    start();
    if (m_recordingBusy) {
        setMessage(u"Decoding %1 again %2\u2026"_s.arg(QFileInfo(m_recordingPath).fileName(), how));
    }
}

void Receiver::storeSettings()
{
    m_settings.source = ReceiverSettings::Source(sourceBox->currentData().toInt());
    if (deviceBox->isEnabled()) {
        m_settings.deviceId = deviceBox->currentData().toByteArray();
    }
    m_settings.udpHost = hostEdit->text().trimmed();
    m_settings.udpPort = portBox->value();
    m_settings.udpRate = rateBox->value();
    m_settings.recordingPath = pathEdit->text().trimmed();
    m_settings.geometry = saveGeometry();
    m_settings.save();
}

void Receiver::closeEvent(QCloseEvent* event)
{
    stop();
    storeSettings();
    event->accept();
}
