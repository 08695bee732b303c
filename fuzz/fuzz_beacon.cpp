// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the whole decoder with arbitrary UTF-16 (lone surrogates included) and checks what must
// always hold, whatever a person pastes.
#include "beacon.h"
#include "beacon_frame.h"
#include "field_table.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

class CountingField : public beacon::TextField
{
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override
    {
        m_text = text;
        ++writes;
    }
    int writes = 0;

private:
    QString m_text = QStringLiteral("the user's own text");
};

void checkNormalised(const QString& input, const QString& normalised)
{
    const QString stripped = QString(input).remove(u' ');
    require(normalised.size() == stripped.size());
    for (qsizetype i = 0; i < stripped.size(); ++i) {
        const QChar in = stripped.at(i);
        const QChar out = normalised.at(i);
        require(out != u' ');
        require(in.isSurrogate() == out.isSurrogate());
        if (in.unicode() < 0x80) {
            require(out.unicode() == ((in >= u'a' && in <= u'z') ? in.unicode() - 0x20 : in.unicode()));
        }
    }
    require(beacon::normaliseBeacon(normalised) == normalised);
}

void checkReport(const QString& frame, const QString& report)
{
    const QString head = QStringLiteral("CW beacon: ") + frame;
    require(report.startsWith(head));
    const QStringList lines = report.mid(head.size()).split(QStringLiteral("\r\n"));
    const auto fields = beacon::fieldTables();
    require(lines.size() == qsizetype(fields.size()) + 1 && lines.front().isEmpty());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const beacon::FieldTable& field = fields[i];
        require(
            lines.at(qsizetype(i) + 1) == beacon::fieldText(field, beacon::symbolAt(frame, field.position)));
    }
    require(!report.endsWith(u'\n') && !report.endsWith(u'\r'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QString input(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(input.data(), data, (size / 2) * 2);

    const QString normalised = beacon::normaliseBeacon(input);
    checkNormalised(input, normalised);

    const bool expected = normalised.size() == 19 && normalised.startsWith(QStringLiteral("TARNUP"));
    require(beacon::isBeacon(normalised) == expected);

    CountingField field;
    const QString before = field.text();
    beacon::decodeInput(input, field);
    if (expected) {
        const QString report = beacon::buildReport(normalised);
        checkReport(normalised, report);
        require(field.writes == 1 && field.text() == report);
    } else {
        require(field.writes == 0 && field.text() == before);
    }
    return 0;
}
