// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_writer.h"
#include "beacon.h"
#include "edit_field.h"
#include "form1.h"
#include "generated_recording.h"
#include "heard_beacon_log.h"
#include "logbook.h"
#include "receiver.h"
#include "typed_beacon_log.h"
#include "waterfall.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

namespace {

constexpr int decodeTimeoutMs = 60000;

QString reportFor(const QString& beacon)
{
    return beacon::buildReport(beacon::normaliseBeacon(beacon));
}

} // namespace

class TestReceiver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordingIntoText3_data();
    void recordingIntoText3();
    void beaconsKeptFromMainWindow();
    void heardBeaconsLogged();
    void cancel();
    void toneClickedOnRecording_data();
    void toneClickedOnRecording();
    void unreadableFile_data();
    void unreadableFile();
    void portInUse();

private: // NOLINT(readability-redundant-access-specifiers): to moc these are no test functions
    template<typename T>
    T* child(const QString& name) const
    {
        T* found = form->receiverWindow()->findChild<T*>(name);
        if (!found) {
            qFatal("no child %s", qPrintable(name));
        }
        return found;
    }
    QString text(const QString& name) const
    {
        return EditField(*form->findChild<QPlainTextEdit*>(name)).text();
    }
    QStringList listedBeacons() const
    {
        QStringList beacons;
        auto* list = child<QTreeWidget>(u"BeaconList"_s);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            beacons << list->topLevelItem(i)->text(1);
        }
        return beacons;
    }
    // Opens `path` through the main window and waits until the Receiver is done with it.
    void openAndWait(const QString& path)
    {
        QSignalSpy idle(form->receiverWindow(), &Receiver::idle);
        form->openRecording(path);
        QVERIFY(idle.wait(decodeTimeoutMs));
    }

    QTemporaryDir dir;
    GeneratedRecording shortRecording;
    QString shortPath;
    Form1* form = nullptr;
};

void TestReceiver::initTestCase()
{
    // The Receiver's settings go to a throw-away place, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir.isValid());
    shortRecording = makeRecording(31, 2, 8000);
    shortPath = dir.filePath(u"short.wav"_s);
    QVERIFY(writeRecording(shortPath, shortRecording));
}

void TestReceiver::init()
{
    form = new Form1;
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
}

void TestReceiver::cleanup()
{
    delete form;
    form = nullptr;
}

void TestReceiver::recordingIntoText3_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");

    QTest::newRow("8 kHz WAV") << 8000 << int(SF_FORMAT_WAV | SF_FORMAT_PCM_16) << u"pass.wav"_s;
    QTest::newRow("48 kHz OGG, start in the name")
        << 48000 << int(SF_FORMAT_OGG | SF_FORMAT_VORBIS) << u"gqrx_20261207_101500_145825000.ogg"_s;
}

void TestReceiver::recordingIntoText3()
{
    QFETCH(int, rate);
    QFETCH(int, format);
    QFETCH(QString, name);
    const GeneratedRecording recording = makeRecording(7, 3, rate);
    const QString path = dir.filePath(name);
    QVERIFY(writeRecording(path, recording, format));

    openAndWait(path);
    QCOMPARE(listedBeacons(), recording.sent);
    QCOMPARE(text(u"Text2"_s), recording.sent.last());
    QCOMPARE(text(u"Text3"_s), reportFor(recording.sent.last()));
    QVERIFY(!form->receiverWindow()->isBusy());

    // Times are the recording's start plus the beacon's offset, and follow a corrected start.
    auto* start = child<QDateTimeEdit>(u"StartTimeEdit"_s);
    if (name.startsWith(u"gqrx"_s)) {
        QCOMPARE(start->dateTime(), QDateTime(QDate(2026, 12, 7), QTime(10, 15), Qt::UTC));
    }
    const QDateTime corrected(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    start->setDateTime(corrected);
    auto* list = child<QTreeWidget>(u"BeaconList"_s);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QDateTime listed =
            QDateTime::fromString(list->topLevelItem(i)->text(0), u"yyyy-MM-dd HH:mm:ss"_s).toUTC();
        const QDateTime sent = corrected.addMSecs(qint64(recording.starts.at(i) * 1000.0));
        QVERIFY2(std::abs(listed.secsTo(sent)) <= 1, qPrintable(list->topLevelItem(i)->text(0)));
    }
}

void TestReceiver::beaconsKeptFromMainWindow()
{
    form->receiverWindow();
    child<QCheckBox>(u"ToMainWindow"_s)->setChecked(false);
    openAndWait(shortPath);
    QCOMPARE(listedBeacons(), shortRecording.sent);
    QCOMPARE(text(u"Text2"_s), QString());
    QCOMPARE(text(u"Text3"_s), QString());
}

void TestReceiver::heardBeaconsLogged()
{
    // Wired as the program does: typed beacons and heard ones into one log.
    const QString logPath = dir.filePath(u"heard.sqlite"_s);
    {
        logbook::BackgroundWriter writer(logPath);
        TypedBeaconLog typedLog(form->findChild<QPlainTextEdit*>(u"Text2"_s), &writer);
        connect(form, &Form1::beaconHeard, &writer,
            [&writer](const FoundBeacon& beacon) { writer.append(logEntryFor(beacon)); });
        openAndWait(shortPath);
        // Closing settles whatever Text2 holds, as the end of the program does.
        form->close();
    }
    logbook::Logbook book;
    QString error;
    QVERIFY2(book.open(logPath, &error), qPrintable(error));
    const std::vector<logbook::Entry> entries = book.entries();
    QStringList logged;
    const QDateTime start = child<QDateTimeEdit>(u"StartTimeEdit"_s)->dateTime();
    for (const logbook::Entry& e : entries) {
        logged << e.beacon;
        QCOMPARE(e.source, u"recording"_s);
        QCOMPARE(e.file, shortPath);
        QVERIFY(e.offsetS.has_value() && e.wpm.has_value() && e.snrDb.has_value());
        QCOMPARE(e.utc, start.addMSecs(qint64(*e.offsetS * 1000.0)));
    }
    // Each once, and the one put into Text2 not again as typed.
    QCOMPARE(logged, shortRecording.sent);
}

void TestReceiver::cancel()
{
    // Long enough that the decoding thread is still reading when Cancel is clicked.
    const GeneratedRecording longRecording = makeRecording(5, 2, 48000, 240.0);
    const QString longPath = dir.filePath(u"long.wav"_s);
    QVERIFY(writeRecording(longPath, longRecording));

    Receiver* receiver = form->receiverWindow();
    QSignalSpy idle(receiver, &Receiver::idle);
    form->openRecording(longPath);
    QVERIFY(receiver->isBusy());
    auto* cancelButton = child<QPushButton>(u"CancelButton"_s);
    QVERIFY(cancelButton->isEnabled());
    QTest::mouseClick(cancelButton, Qt::LeftButton);
    QVERIFY(idle.wait(decodeTimeoutMs));
    QVERIFY2(receiver->message().contains(u"cancelled"_s), qPrintable(receiver->message()));
    QVERIFY(!receiver->isBusy());
    QCOMPARE(child<QPushButton>(u"StartButton"_s)->text(), u"Start"_s);

    // And the next recording decodes in full.
    openAndWait(shortPath);
    QCOMPARE(text(u"Text3"_s), reportFor(shortRecording.sent.last()));
}

void TestReceiver::toneClickedOnRecording_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<bool>("heard");

    // The recording's tone is 700 Hz.
    QTest::newRow("on the tone") << 700.0 << true;
    QTest::newRow("far from it") << 2500.0 << false;
}

void TestReceiver::toneClickedOnRecording()
{
    QFETCH(double, hz);
    QFETCH(bool, heard);
    openAndWait(shortPath);
    Receiver* receiver = form->receiverWindow();
    auto* waterfall = child<Waterfall>(u"Waterfall"_s);

    // The click decodes the recording on screen again near the tone, not at some later Start.
    QSignalSpy idle(receiver, &Receiver::idle);
    QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(waterfall->xOf(hz), waterfall->height() / 2));
    QVERIFY(receiver->isBusy());
    QVERIFY(idle.wait(decodeTimeoutMs));
    QCOMPARE(listedBeacons(), heard ? shortRecording.sent : QStringList());
    QVERIFY2(receiver->message().contains(u" near "_s), qPrintable(receiver->message()));

    // And "Search whole band" decodes it again without the tone.
    QTest::mouseClick(child<QPushButton>(u"AutoToneButton"_s), Qt::LeftButton);
    QVERIFY(idle.wait(decodeTimeoutMs));
    QCOMPARE(listedBeacons(), shortRecording.sent);
}

void TestReceiver::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");

    QTest::newRow("missing") << u"missing.wav"_s << QByteArray() << false;
    QTest::newRow("empty") << u"empty.wav"_s << QByteArray() << true;
    QTest::newRow("not audio") << u"notes.wav"_s << QByteArray("TARNUP Q8CQ CG4X GG4D Z\n") << true;
}

void TestReceiver::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    const QString path = dir.filePath(name);
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // A report already on screen stays there.
    EditField(*form->findChild<QPlainTextEdit*>(u"Text2"_s)).setText(u"tarnup q8cq cg4x gg4d z"_s);
    const QString before = text(u"Text3"_s);
    QVERIFY(!before.isEmpty());

    openAndWait(path);
    const QString message = form->receiverWindow()->message();
    QVERIFY2(message.contains(name), qPrintable(message));
    QCOMPARE(text(u"Text3"_s), before);
    QVERIFY(listedBeacons().isEmpty());
    QVERIFY(!form->receiverWindow()->isBusy());
}

void TestReceiver::portInUse()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    Receiver* receiver = form->receiverWindow();
    auto* source = child<QComboBox>(u"SourceBox"_s);
    source->setCurrentIndex(source->findText(u"UDP"_s, Qt::MatchStartsWith));
    child<QSpinBox>(u"PortBox"_s)->setValue(holder.localPort());
    auto* start = child<QPushButton>(u"StartButton"_s);

    QSignalSpy idle(receiver, &Receiver::idle);
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(idle.wait(decodeTimeoutMs));
    QVERIFY2(receiver->message().contains(QString::number(holder.localPort())) &&
            receiver->message().contains(u"in use"_s),
        qPrintable(receiver->message()));
    QCOMPARE(start->text(), u"Start"_s);

    // Start works again once the port is free.
    holder.close();
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(receiver->message().startsWith(u"Listening"_s), decodeTimeoutMs);
    QCOMPARE(start->text(), u"Stop"_s);
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!receiver->isBusy());
    QCOMPARE(start->text(), u"Start"_s);
}

QTEST_MAIN(TestReceiver)
#include "tst_receiver.moc"
