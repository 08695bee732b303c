// SPDX-License-Identifier: GPL-3.0-or-later
#include "waterfall.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr float rangeDb = 40.0F; // from the noise floor to full colour

// Dark blue through cyan and yellow to white, as CW operators know from their waterfalls.
QList<QRgb> makePalette()
{
    QList<QRgb> palette;
    const std::array<QColor, 5> stops { QColor(0, 0, 32), QColor(0, 40, 160), QColor(0, 200, 220),
        QColor(250, 230, 0), QColor(255, 255, 255) };
    for (int i = 0; i < 256; ++i) {
        const double at = i / 255.0 * (stops.size() - 1);
        const auto k = std::min(std::size_t(at), stops.size() - 2);
        const double f = at - double(k);
        const QColor& a = stops.at(k);
        const QColor& b = stops.at(k + 1);
        palette.append(qRgb(int(a.red() + f * (b.red() - a.red())),
            int(a.green() + f * (b.green() - a.green())), int(a.blue() + f * (b.blue() - a.blue()))));
    }
    return palette;
}

} // namespace

Waterfall::Waterfall(double lowHz, double highHz, int columns, QWidget* parent)
    : QWidget(parent)
    , m_lowHz(lowHz)
    , m_highHz(highHz)
    // RGB32 rather than indexed: a resize then scales without converting the whole picture.
    , m_image(columns, history, QImage::Format_RGB32)
    , m_palette(makePalette())
{
    m_image.fill(m_palette.front());
    setCursor(Qt::CrossCursor);
    setToolTip(tr("Click on a signal to decode that tone"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Waterfall::addRow(const QList<float>& levelsDb)
{
    if (levelsDb.isEmpty()) {
        return;
    }
    // The floor is a low percentile of the row, smoothed, so a strong tone does not lift it.
    QList<float> sorted = levelsDb;
    const auto at = sorted.begin() + sorted.size() / 5;
    std::nth_element(sorted.begin(), at, sorted.end());
    m_floorDb = m_rowsAdded == 0 ? *at : 0.9F * m_floorDb + 0.1F * *at;

    m_top = (m_top + history - 1) % history;
    auto* row = reinterpret_cast<QRgb*>(m_image.scanLine(m_top));
    const int columns = int(std::min<qsizetype>(levelsDb.size(), m_image.width()));
    for (int c = 0; c < columns; ++c) {
        const float level = (levelsDb.at(c) - m_floorDb + 3.0F) / rangeDb;
        row[c] = m_palette.at(int(std::clamp(level, 0.0F, 1.0F) * 255.0F));
    }
    ++m_rowsAdded;
    if (m_view.isNull()) {
        return;
    }

    // The ring moves on by the row's share of the lines; one that gets none replaces the newest.
    const int height = m_view.height();
    m_linesOwed += double(height) / history;
    const int lines = std::min(height, int(m_linesOwed));
    m_linesOwed -= lines;
    m_viewTop = (m_viewTop + height - lines) % height;
    for (int i = 0; i < std::max(1, lines); ++i) {
        auto* line = reinterpret_cast<QRgb*>(m_view.scanLine((m_viewTop + i) % height));
        for (int x = 0; x < m_view.width(); ++x) {
            line[x] = row[m_columnAt[std::size_t(x)]];
        }
    }
    update(plotArea());
}

void Waterfall::clear()
{
    m_image.fill(m_palette.front());
    m_view.fill(m_palette.front());
    m_rowsAdded = 0;
    m_followedHz = 0.0;
    update();
}

void Waterfall::setFollowedTone(double hz)
{
    if (hz == m_followedHz) {
        return;
    }
    const QRect before = followedMarks(m_followedHz);
    const QRect after = followedMarks(hz);
    m_followedHz = hz;
    // The tone drifts by fractions of a pixel; only a move one can see costs a repaint.
    if (before != after) {
        update(before);
        update(after);
    }
}

void Waterfall::setRequestedTone(double hz)
{
    m_requestedHz = hz;
    update();
}

QRect Waterfall::plotArea() const
{
    return rect().adjusted(0, scaleHeight, 0, 0);
}

QRect Waterfall::scaleArea() const
{
    return { 0, 0, width(), scaleHeight };
}

QRect Waterfall::followedMarks(double hz) const
{
    if (hz <= 0.0) {
        return {};
    }
    const int x = xOf(hz);
    return { x - 8, 0, 17, scaleHeight + 14 };
}

double Waterfall::frequencyAt(int x) const
{
    const QRect area = plotArea();
    return m_lowHz + (m_highHz - m_lowHz) * (x - area.left() + 0.5) / std::max(1, area.width());
}

int Waterfall::xOf(double hz) const
{
    const QRect area = plotArea();
    return area.left() + int(std::lround((hz - m_lowHz) / (m_highHz - m_lowHz) * area.width()));
}

void Waterfall::resizeEvent(QResizeEvent* /*event*/)
{
    rebuildView();
}

void Waterfall::rebuildView()
{
    const QSize size = plotArea().size();
    if (size.isEmpty()) {
        m_view = QImage();
        return;
    }
    m_view = QImage(size, QImage::Format_RGB32);
    m_viewTop = 0;
    m_linesOwed = 0.0;
    m_columnAt.resize(std::size_t(size.width()));
    for (int x = 0; x < size.width(); ++x) {
        m_columnAt[std::size_t(x)] =
            std::min(m_image.width() - 1, int((x + 0.5) * m_image.width() / size.width()));
    }
    // The ring drawn in two parts: newest rows from m_top down, then the older ones that wrapped.
    QPainter painter(&m_view);
    const int rowsBelowTop = history - m_top;
    const int split = int(std::lround(rowsBelowTop * double(size.height()) / history));
    painter.drawImage(
        QRect(0, 0, size.width(), split), m_image, QRect(0, m_top, m_image.width(), rowsBelowTop));
    if (m_top > 0) {
        painter.drawImage(QRect(0, split, size.width(), size.height() - split), m_image,
            QRect(0, 0, m_image.width(), m_top));
    }
}

void Waterfall::drawScale(QPainter& painter)
{
    painter.fillRect(scaleArea(), palette().window());
    painter.setPen(palette().windowText().color());
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    for (int hz = 500; hz < int(m_highHz); hz += 500) {
        const int x = xOf(hz);
        painter.drawLine(x, scaleHeight - 4, x, scaleHeight - 1);
        painter.drawText(QRect(x - 30, 0, 60, scaleHeight - 3), Qt::AlignCenter, QString::number(hz));
    }
}

void Waterfall::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = plotArea();
    if (!m_view.isNull() && event->rect().intersects(area)) {
        // Pixels copied one to one: the newest lines from m_viewTop down, then those that wrapped.
        const int below = m_view.height() - m_viewTop;
        painter.drawImage(area.topLeft(), m_view, QRect(0, m_viewTop, m_view.width(), below));
        if (m_viewTop > 0) {
            painter.drawImage(
                QPoint(area.left(), area.top() + below), m_view, QRect(0, 0, m_view.width(), m_viewTop));
        }
    }
    if (event->rect().intersects(scaleArea())) {
        drawScale(painter);
    }

    if (m_requestedHz > 0.0) {
        painter.setPen(QPen(QColor(255, 80, 80), 1, Qt::DashLine));
        painter.drawLine(xOf(m_requestedHz), area.top(), xOf(m_requestedHz), area.bottom());
    }
    if (m_followedHz > 0.0) {
        // A bracket on the scale and a thin line, leaving the trace itself visible.
        const int x = xOf(m_followedHz);
        painter.setPen(QPen(QColor(255, 40, 40), 2));
        painter.drawLine(x, 0, x, scaleHeight);
        painter.setPen(QPen(QColor(255, 40, 40, 150), 1));
        painter.drawLine(x - 6, area.top(), x - 6, area.top() + 12);
        painter.drawLine(x + 6, area.top(), x + 6, area.top() + 12);
    }
}

void Waterfall::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !plotArea().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    const double hz = std::clamp(frequencyAt(event->position().toPoint().x()), m_lowHz, m_highHz);
    setRequestedTone(hz);
    emit toneClicked(hz);
}
