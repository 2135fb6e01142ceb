#include "SplitterBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

SplitterBar::SplitterBar(int number, Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_number(number), m_orientation(orientation)
{
    setObjectName(QStringLiteral("splitter%1").arg(number));
    setCursor(orientation == Qt::Horizontal ? Qt::SplitVCursor : Qt::SplitHCursor);
}

void SplitterBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_grab = event->position().toPoint();
    emit dragStarted();
}

void SplitterBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint p = event->position().toPoint();
    const int offset = m_orientation == Qt::Horizontal ? p.y() - m_grab.y() : p.x() - m_grab.x();
    if (offset != 0)
        emit dragged(m_number, offset);
}

void SplitterBar::mouseReleaseEvent(QMouseEvent *)
{
    emit dragEnded();
}

void SplitterBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state = m_orientation == Qt::Horizontal ? QStyle::State_None : QStyle::State_Horizontal;
    style()->drawControl(QStyle::CE_Splitter, &option, &painter, this);
}
