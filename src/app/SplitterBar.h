#pragma once

#include <QWidget>

// One of the five bars between the panes. Pressing the left button starts a drag; while it
// lasts every move reports the pointer's offset within the bar, so the bar follows it.
class SplitterBar : public QWidget
{
    Q_OBJECT
public:
    SplitterBar(int number, Qt::Orientation orientation, QWidget *parent);

    int number() const { return m_number; }
    Qt::Orientation orientation() const { return m_orientation; }

signals:
    void dragStarted();
    void dragged(int number, int offsetPixels);
    void dragEnded();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_number;
    Qt::Orientation m_orientation;
    QPoint m_grab; // where the pointer took hold of the bar
};
