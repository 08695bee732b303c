// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_writer.h"
#include "form1.h"
#include "logbook.h"
#include "typed_beacon_log.h"
#include "typed_beacon_settler.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString beaconA = u"TARNUPQ8CQCG4XGG4DZ"_s;
const QString beaconB = u"TARNUP2D6DQ8Z?GGZ8D"_s;

} // namespace

class TestTypedLog : public QObject
{
    Q_OBJECT

private slots:
    void settling_data();
    void settling();
    void windowLogsSettledBeacons();
};

void TestTypedLog::settling_data()
{
    // Each event is "what@ms": A or B (the input forms that beacon), - (it forms none), rest (it
    // has rested) or close.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("half-typed text never")
        << QStringList { u"-@0"_s, u"-@100"_s, u"rest@6000"_s, u"close@7000"_s } << QStringList {};
    QTest::newRow("a different beacon settles the one shown")
        << QStringList { u"A@0"_s, u"-@500"_s, u"B@1000"_s } << QStringList { u"A"_s };
    QTest::newRow("closing settles") << QStringList { u"A@0"_s, u"close@100"_s } << QStringList { u"A"_s };
    QTest::newRow("resting settles once")
        << QStringList { u"A@0"_s, u"rest@5000"_s, u"-@6000"_s, u"rest@11000"_s, u"close@90000"_s }
        << QStringList { u"A"_s };
    QTest::newRow("the same again within a minute") << QStringList { u"A@0"_s, u"B@1000"_s, u"A@2000"_s,
        u"B@3000"_s, u"close@4000"_s } << QStringList { u"A"_s, u"B"_s };
    QTest::newRow("the same again after a minute") << QStringList { u"A@0"_s, u"B@1000"_s, u"A@70000"_s,
        u"close@70500"_s } << QStringList { u"A"_s, u"B"_s, u"A"_s };
    QTest::newRow("retyping the shown beacon changes nothing")
        << QStringList { u"A@0"_s, u"-@100"_s, u"A@200"_s, u"close@300"_s } << QStringList { u"A"_s };
}

void TestTypedLog::settling()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, entries);
    TypedBeaconSettler settler;
    QStringList logged;
    for (const QString& event : events) {
        const QString what = event.section(u'@', 0, 0);
        const qint64 ms = event.section(u'@', 1).toLongLong();
        std::optional<QString> settled;
        if (what == u"rest" || what == u"close") {
            settled = settler.settle(ms);
        } else {
            settled = settler.inputChanged(what == u"A" ? beaconA : what == u"B" ? beaconB : QString(), ms);
        }
        if (settled) {
            logged << (*settled == beaconA ? u"A"_s : u"B"_s);
        }
    }
    QCOMPARE(logged, entries);
}

void TestTypedLog::windowLogsSettledBeacons()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"beacons.sqlite"_s);
    {
        Form1 form;
        logbook::BackgroundWriter writer(path);
        TypedBeaconLog typedLog(form.findChild<QPlainTextEdit*>(u"Text2"_s), &writer);
        form.show();
        auto* text2 = form.findChild<QPlainTextEdit*>(u"Text2"_s);
        QTest::keyClicks(text2, u"tarnup q8cq cg4x gg4d z"_s); // every key but the last half-typed
        text2->selectAll();
        QTest::keyClicks(text2, beaconB);
        QTest::keyClicks(text2, u" tarnup 12"_s); // half-typed after B: B stays in the report
        form.close();
    } // the writer finishes its queue here
    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    QStringList logged;
    for (const logbook::Entry& e : book.entries()) {
        QCOMPARE(e.source, u"typed"_s);
        logged << e.beacon;
    }
    QCOMPARE(logged, (QStringList { beaconA, beaconB }));
}

QTEST_MAIN(TestTypedLog)
#include "tst_typedlog.moc"
