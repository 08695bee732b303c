// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QWidget>

#include <vector>

// A scrolling waterfall, newest row at the top, over a fixed band; the tone the decoder follows
// and the one the user asked for are marked, and a click asks for a tone.
class Waterfall : public QWidget
{
    Q_OBJECT

public:
    // `columns` levels per row spread evenly over lowHz..highHz.
    Waterfall(double lowHz, double highHz, int columns, QWidget* parent = nullptr);

    void addRow(const QList<float>& levelsDb);
    void clear();
    // 0: none.
    void setFollowedTone(double hz);
    void setRequestedTone(double hz);

    double followedTone() const { return m_followedHz; }
    double requestedTone() const { return m_requestedHz; }
    int rowCount() const { return m_rowsAdded; }
    // The frequency under `x`, in widget coordinates.
    double frequencyAt(int x) const;
    int xOf(double hz) const;

    QSize sizeHint() const override { return { 600, 260 }; }
    QSize minimumSizeHint() const override { return { 300, 120 }; }

signals:
    void toneClicked(double hz);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect plotArea() const;
    QRect scaleArea() const;
    // Where the followed tone's marks are, to repaint just them when it moves.
    QRect followedMarks(double hz) const;
    void rebuildView();
    void drawScale(QPainter& painter);

    static constexpr int history = 300; // rows kept
    static constexpr int scaleHeight = 16;

    double m_lowHz;
    double m_highHz;
    QImage m_image; // a ring of rows, one pixel a column; m_top is the newest
    int m_top = 0;
    int m_rowsAdded = 0;
    // The same ring at the plot's size, so a paint copies pixels and scales nothing: a row added
    // draws its own lines only, a resize rebuilds it from m_image.
    QImage m_view;
    int m_viewTop = 0;
    double m_linesOwed = 0.0; // display lines per row are rarely whole
    std::vector<int> m_columnAt; // m_image column shown at each x of m_view
    float m_floorDb = -100.0F; // follows the noise so any input level shows
    double m_followedHz = 0.0;
    double m_requestedHz = 0.0;
    QList<QRgb> m_palette;
};
