#include "IconNameDelegate.h"

#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QTextLayout>

namespace {

constexpr int MaxLinesUnderIcon = 3;
constexpr int Margin = 4;

// The name laid out at the width, wrapped between words where it can and anywhere else where it
// must; false in `fits` when it needs more than maxLines lines.
QStringList wrapped(const QString &text, const QFont &font, int width, int maxLines, bool &fits)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    fits = true;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines) {
            fits = false;
            break;
        }
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

} // namespace

IconNameDelegate::IconNameDelegate(QListView *view) : QStyledItemDelegate(view), m_view(view)
{
}

QStringList IconNameDelegate::nameLines(const QString &name, const QFont &font, int width, int maxLines)
{
    bool fits = true;
    QStringList lines = wrapped(name, font, width, maxLines, fits);
    if (fits)
        return lines;
    // The most characters, taken alike from both ends around an ellipsis, that still fit.
    int low = 0;
    int high = int(name.size()) - 1;
    while (low < high) {
        const int keep = (low + high + 1) / 2;
        const QString shortened = name.left(keep - keep / 2) + QChar(0x2026) + name.right(keep / 2);
        wrapped(shortened, font, width, maxLines, fits);
        if (fits)
            low = keep;
        else
            high = keep - 1;
    }
    return wrapped(name.left(low - low / 2) + QChar(0x2026) + name.right(low / 2), font, width, maxLines, fits);
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
    return nameLines(name, option.font, textWidth(cellSize(option, index)), underIcon() ? MaxLinesUnderIcon : 1);
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
