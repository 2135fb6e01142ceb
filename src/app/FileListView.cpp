#include "FileListView.h"

#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QTreeView>

FileListView::FileListView(const QString &name, QWidget *parent)
    : QStackedWidget(parent), m_model(new QStandardItemModel(this)), m_report(new QTreeView(this)),
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
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setUniformItemSizes(true);
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_report), static_cast<QAbstractItemView *>(m_icons)})
        wireView(view);
    addWidget(m_report);
    addWidget(m_icons);
    setCurrentWidget(m_report);
}

void FileListView::wireView(QAbstractItemView *view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { emit contextMenuRequested(view->viewport()->mapToGlobal(pos)); });
    connect(view, &QAbstractItemView::activated, this, &FileListView::activated);
}

QItemSelectionModel *FileListView::selectionModel() const
{
    return m_report->selectionModel();
}

void FileListView::setColumns(const QList<Column> &columns)
{
    m_keys.clear();
    m_model->setColumnCount(columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        m_keys.append(columns[i].key);
        m_model->setHeaderData(i, Qt::Horizontal, columns[i].title);
        m_model->setHeaderData(i, Qt::Horizontal, columns[i].key, Qt::UserRole);
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
    m_icons->setGridSize(mode == Icons ? QSize(96, 64) : QSize());
    m_icons->setMovement(QListView::Static);
    setCurrentWidget(m_icons);
}
