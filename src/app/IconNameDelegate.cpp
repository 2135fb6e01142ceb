#include "IconNameDelegate.h"

#include "ListText.h"

#include <QApplication>
#include <QListView>
#include <QPainter>

namespace {

constexpr int MaxLinesUnderIcon = 3;
constexpr int Margin = 4;

} // namespace

IconNameDelegate::IconNameDelegate(QListView *view) : QStyledItemDelegate(view), m_view(view)
{
}

bool IconNameDelegate::underIcon() const
{
    return m_view->viewMode() == QListView::IconMode;
}

QSize IconNameDelegate::cellSize(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // With a grid, each cell is the grid's: the uniform size would otherwise be the first row's.
    const QSize grid = m_view->gridSize();
    return grid.isValid() ? grid : QStyledItemDelegate::sizeHint(option, index);
}

int IconNameDelegate::textWidth(const QSize &cell) const
{
    if (underIcon())
        return cell.width() - 2 * Margin;
    return cell.width() - m_view->iconSize().width() - 3 * Margin;
}

QStringList IconNameDelegate::shownLines(const QModelIndex &index) const
{
    QStyleOptionViewItem option;
    option.initFrom(m_view);
    option.font = m_view->font();
    const QString name = index.data(Qt::DisplayRole).toString();
    return ListText::nameLines(name, option.font, textWidth(cellSize(option, index)), underIcon() ? MaxLinesUnderIcon : 1);
}

QSize IconNameDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return cellSize(option, index);
}

void IconNameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QStringList lines = shownLines(index);
    if (!underIcon()) {
        opt.text = lines.value(0); // fits as it is: the style shortens nothing more
        opt.textElideMode = Qt::ElideNone;
        const QWidget *widget = opt.widget;
        (widget ? widget->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        return;
    }
    // The icon (and the focus frame) by the style; the lines below it by hand.
    const bool selected = opt.state & QStyle::State_Selected;
    opt.text.clear();
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus); // no frame around a missing text
    const QWidget *widget = opt.widget;
    (widget ? widget->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const int lineHeight = opt.fontMetrics.height();
    const int top = opt.rect.top() + opt.decorationSize.height() + 2 * Margin;
    const QRect text(opt.rect.left() + Margin, top, opt.rect.width() - 2 * Margin, lineHeight * int(lines.size()));
    painter->save();
    if (selected)
        painter->fillRect(text, opt.palette.brush(QPalette::Highlight));
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    for (int i = 0; i < lines.size(); ++i)
        painter->drawText(QRect(text.left(), top + i * lineHeight, text.width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop,
                          lines[i]);
    painter->restore();
}
