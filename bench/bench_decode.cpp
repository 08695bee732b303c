// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class PlainField : public beacon::TextField
{
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    QString m_text;
};

} // namespace

class BenchDecode : public QObject
{
    Q_OBJECT

private slots:
    void decodeInput_data();
    void decodeInput();
};

void BenchDecode::decodeInput_data()
{
    QTest::addColumn<QString>("input");

    QTest::newRow("typical beacon") << u"tarnup q8cq cg4x gg4d z"_s;
    QTest::newRow("beacon being typed") << u"tarnup q8cq cg"_s;
    QTest::newRow("one too many") << u"tarnup q8cq cg4x gg4d zz"_s;
    QTest::newRow("1 MB of text") << u"tarnup q8cq cg4x gg4d z\r\n"_s.repeated(1 << 20 / 25);
    QTest::newRow("1 MB of spaces, then a beacon") << QString(1 << 20, u' ') + u"TARNUPQ8CQCG4XGG4DZ"_s;
}

// One keystroke's worth of work: the whole input is decoded from scratch each time.
void BenchDecode::decodeInput()
{
    QFETCH(QString, input);
    PlainField report;
    QBENCHMARK
    {
        beacon::decodeInput(input, report);
    }
}

QTEST_GUILESS_MAIN(BenchDecode)
#include "bench_decode.moc"
