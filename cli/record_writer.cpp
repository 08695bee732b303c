// SPDX-License-Identifier: GPL-3.0-or-later
#include "record_writer.h"

namespace decodecli {

namespace {

class TextWriter : public RecordWriter
{
public:
    explicit TextWriter(OutputStream& out)
        : m_out(out)
    {
    }

    bool writesNonBeacons() const override { return false; }

    void write(const Origin&, const ReceivedText& received, const Measurement*) override
    {
        if (m_reportsWritten++ > 0) {
            m_out.buffer().append('\n');
        }
        appendTextReport(m_out.buffer(), received.frame);
        m_out.recordDone();
    }

private:
    OutputStream& m_out;
    qint64 m_reportsWritten = 0;
};

class CsvWriter : public RecordWriter
{
public:
    CsvWriter(OutputStream& out, bool noHeader)
        : m_out(out)
    {
        if (!noHeader) {
            appendCsvHeader(m_out.buffer());
            m_out.recordDone();
        }
    }

    bool writesNonBeacons() const override { return false; }

    void write(const Origin& origin, const ReceivedText& received, const Measurement*) override
    {
        appendCsvRecord(m_out.buffer(), origin, received.frame);
        m_out.recordDone();
    }

private:
    OutputStream& m_out;
};

class JsonWriter : public RecordWriter
{
public:
    explicit JsonWriter(OutputStream& out)
        : m_out(out)
    {
    }

    bool writesNonBeacons() const override { return true; }

    void write(const Origin& origin, const ReceivedText& received, const Measurement* measurement) override
    {
        appendJsonRecord(
            m_out.buffer(), origin, received, [this] { m_out.flushIfFull(); }, measurement);
        m_out.recordDone();
    }

private:
    OutputStream& m_out;
};

} // namespace

std::unique_ptr<RecordWriter> makeRecordWriter(Format format, OutputStream& out, bool noHeader)
{
    switch (format) {
    case Format::text:
        return std::make_unique<TextWriter>(out);
    case Format::csv:
        return std::make_unique<CsvWriter>(out, noHeader);
    case Format::json:
        return std::make_unique<JsonWriter>(out);
    }
    return nullptr;
}

} // namespace decodecli
