#include "FileListView.h"

#include "FileRowsModel.h"
#include "IconNameDelegate.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace {

constexpr int kMaxTextWidth = 240;  // beside small icons; beyond it, names are shortened in the middle
constexpr int kIconTextWidth = 112; // under big icons, on up to three lines

} // namespace

FileListView::FileListView(const QString &name, QWidget *parent)
    : QStackedWidget(parent), m_model(new FileRowsModel(this)), m_shown(m_model), m_report(new QTreeView(this)),
      m_icons(new QListView(this))
{
    setObjectName(name);
    m_report->setObjectName(name + QStringLiteral("_report"));
    m_icons->setObjectName(name + QStringLiteral("_icons"));
    m_report->setModel(m_model);
    m_icons->setModel(m_model);
    m_icons->setSelectionModel(m_report->selectionModel());
    m_report->setRootIsDecorated(false);
    m_report->setUniformRowHeights(true);
    m_report->setAllColumnsShowFocus(true);
    m_report->header()->setSectionsMovable(false);
    m_report->header()->setSectionsClickable(true);
    connect(m_report->header(), &QHeaderView::sectionClicked, this, &FileListView::headerClicked);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setUniformItemSizes(true);
    m_icons->setTextElideMode(Qt::ElideMiddle);
    m_icons->setItemDelegate(new IconNameDelegate(m_icons));
    m_report->setTextElideMode(Qt::ElideMiddle);
    watchRows(m_model);
    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(m_report), static_cast<QAbstractItemView *>(m_icons)})
        wireView(view);
    addWidget(m_report);
    addWidget(m_icons);
    setCurrentWidget(m_report);
}

void FileListView::watchRows(QAbstractItemModel *model)
{
    connect(model, &QAbstractItemModel::modelReset, this, &FileListView::fitItemsToNames);
    // Rows come one by one when they are sorted: the sizes follow once they are all in.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_mode != Report && !m_fitDue) {
            m_fitDue = true;
            QTimer::singleShot(0, this, &FileListView::fitItemsToNames);
        }
    });
}

void FileListView::useModel(QAbstractItemModel *model)
{
    disconnect(m_shown, nullptr, this, nullptr);
    m_shown = model;
    QItemSelectionModel *old = selectionModel();
    m_report->setModel(model);
    m_icons->setModel(model);
    QItemSelectionModel *iconsOwn = m_icons->selectionModel();
    m_icons->setSelectionModel(m_report->selectionModel());
    delete iconsOwn; // the views leave the old selection models to their owner
    delete old;
    m_keys.clear();
    for (int c = 0; c < model->columnCount(); ++c)
        m_keys.append(model->headerData(c, Qt::Horizontal, Qt::UserRole).toString());
    watchRows(model);
}

void FileListView::wireView(QAbstractItemView *view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { emit contextMenuRequested(view->viewport()->mapToGlobal(pos)); });
    connect(view, &QAbstractItemView::activated, this, &FileListView::activate);
    view->installEventFilter(this);
}

// The row activated is the row acted on, whatever the selection held before.
void FileListView::activate(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QModelIndex row = index.siblingAtColumn(0);
    if (!selectionModel()->isRowSelected(row.row(), row.parent()) ||
        selectionModel()->currentIndex().row() != row.row())
        selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit activated(row);
}

bool FileListView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_report || watched == m_icons)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool up = (key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier) ||
                        (key->key() == Qt::Key_Up && key->modifiers() == Qt::AltModifier);
        if (up) {
            activateParentRow();
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

int FileListView::parentRow() const
{
    for (int r = 0; r < m_shown->rowCount(); ++r)
        if (rowKind(r) == ListRoles::RowKind::Parent)
            return r;
    return -1;
}

void FileListView::activateParentRow()
{
    const int row = parentRow();
    if (row >= 0)
        activate(m_shown->index(row, 0));
}

void FileListView::fitItemsToNames()
{
    m_fitDue = false;
    if (m_mode == Report)
        return;
    const QFontMetrics metrics(m_icons->font());
    int widest = 0;
    for (int r = 0; r < m_shown->rowCount() && widest < kMaxTextWidth; ++r)
        widest = qMax(widest, metrics.horizontalAdvance(m_shown->index(r, 0).data().toString()));
    const int text = qMin(widest, kMaxTextWidth);
    if (m_mode == Icons) {
        // Room for the icon above three lines of text.
        m_icons->setGridSize(QSize(qBound(64, widest, kIconTextWidth) + 8, 44 + 3 * metrics.height()));
        return;
    }
    m_icons->setGridSize(QSize(16 + 12 + text, qMax(18, metrics.height() + 4)));
}

QStandardItemModel *FileListView::model() const
{
    return m_model;
}

void FileListView::setRows(const QList<QList<QStandardItem *>> &rows)
{
    m_model->setRows(rows);
    // Once the user has sorted, every new listing comes in the order the header's mark shows.
    if (m_sorted)
        sortRows();
}

QItemSelectionModel *FileListView::selectionModel() const
{
    return m_report->selectionModel();
}

void FileListView::setColumns(const QList<Column> &columns)
{
    m_keys.clear();
    if (m_shown == m_model)
        m_model->setColumnCount(columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        m_keys.append(columns[i].key);
        m_shown->setHeaderData(i, Qt::Horizontal, columns[i].title);
        m_shown->setHeaderData(i, Qt::Horizontal, columns[i].key, Qt::UserRole);
    }
    QList<int> widths;
    for (const Column &c : columns)
        widths.append(c.widthPixels);
    setColumnWidths(widths);
}

void FileListView::setColumnWidths(const QList<int> &widthsPixels)
{
    for (int i = 0; i < widthsPixels.size(); ++i) {
        // A zero width hides the column, as the hidden byte-count column wants.
        m_report->setColumnHidden(i, widthsPixels[i] <= 0);
        if (widthsPixels[i] > 0)
            m_report->setColumnWidth(i, widthsPixels[i]);
    }
}

int FileListView::column(const QString &key) const
{
    return m_keys.indexOf(key);
}

void FileListView::setViewMode(ViewMode mode)
{
    m_mode = mode;
    if (mode == Report) {
        setCurrentWidget(m_report);
        return;
    }
    m_icons->setViewMode(mode == Icons ? QListView::IconMode : QListView::ListMode);
    m_icons->setFlow(mode == SmallIcons || mode == Icons ? QListView::LeftToRight : QListView::TopToBottom);
    m_icons->setWrapping(true);
    m_icons->setIconSize(mode == Icons ? QSize(32, 32) : QSize(16, 16));
    m_icons->setWordWrap(mode == Icons);
    m_icons->setMovement(QListView::Static);
    fitItemsToNames();
    setCurrentWidget(m_icons);
}

void FileListView::headerClicked(int column)
{
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    m_sorted = true;
    m_report->header()->setSortIndicatorShown(true);
    m_report->header()->setSortIndicator(column, m_sortOrder);
    sortRows();
}

void FileListView::sortRows()
{
    if (m_shown == m_model && m_sortColumn >= 0 && m_sortColumn < m_model->columnCount())
        m_model->sortRows(m_sortColumn, m_sortOrder == Qt::AscendingOrder);
}

QString FileListView::rowKey(int row) const
{
    return m_shown->index(row, 0).data(KeyRole).toString();
}

ListRoles::RowKind FileListView::rowKind(int row) const
{
    return ListRoles::kindOf(m_shown->index(row, 0).data(KindRole)); // no row: a file
}

QList<int> FileListView::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}
