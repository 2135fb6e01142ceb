#include "formtemp.h"

#include "FileIconCache.h"
#include "ListRoles.h"
#include "TempFolder.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

formtemp::formtemp(const QString &tempFolder, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_folder(tempFolder), m_icons(std::make_unique<FileIconCache>())
{
    setObjectName(QStringLiteral("formtemp"));
    setWindowTitle(QStringLiteral("Vestrigal - Temp files browser"));
    resize(640, 420);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    lblInfo = new QLabel(QStringLiteral("When viewing a folder on a remote server, an empty file of the same name is "
                                        "created in the temporary folder to find the icon, or view it in one of the "
                                        "editors. The files are listed here."),
                         central);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    layout->addWidget(lblInfo);

    ListView1 = new QTreeView(central);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    rows = new QStandardItemModel(0, 4, ListView1);
    rows->setHorizontalHeaderLabels({QStringLiteral("File name"), QStringLiteral("File size (bytes)"),
                                     QStringLiteral("Type"), QStringLiteral("Creation time")});
    ListView1->setModel(rows);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->installEventFilter(this);
    layout->addWidget(ListView1, 1);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));

    menu_file = menuBar()->addMenu(QStringLiteral("&File"));
    menu_file->setObjectName(QStringLiteral("menu_file"));
    auto add = [this](QMenu *menu, const char *name, const char *caption, void (formtemp::*slot)()) {
        QAction *a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    menu_refresh = add(menu_file, "menu_refresh", "Refresh list", &formtemp::menu_refresh_Click);
    menu_delete = add(menu_file, "menu_delete", "Delete", &formtemp::menu_delete_Click);
    menu_clear = add(menu_file, "menu_clear", "Clear folder", &formtemp::menu_clear_Click);
    menu_file->addSeparator();
    menu_exit = menu_file->addAction(QStringLiteral("Exit"));
    menu_exit->setObjectName(QStringLiteral("menu_exit"));
    connect(menu_exit, &QAction::triggered, this, &QWidget::close);

    popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("menu1"));
    menu1_refresh = add(popup, "menu1_refresh", "Refresh list", &formtemp::menu_refresh_Click);
    menu1_delete = add(popup, "menu1_delete", "Delete", &formtemp::menu_delete_Click);
    menu1_clear = add(popup, "menu1_clear", "Clear folder", &formtemp::menu_clear_Click);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { popup->popup(ListView1->viewport()->mapToGlobal(pos)); });

    menu_refresh_Click();
    sizeColumns();
}

formtemp::~formtemp() = default;

QString formtemp::statusText() const
{
    return statusBar()->currentMessage();
}

void formtemp::menu_refresh_Click()
{
    rows->removeRows(0, rows->rowCount());
    for (const TempFolder::Row &row : TempFolder::list(m_folder)) {
        auto *name = new QStandardItem(row.folder ? m_icons->folderIcon() : m_icons->fileIcon(row.name), row.name);
        name->setData(row.path, ListRoles::Key);
        auto *size = new QStandardItem(row.sizeText);
        size->setData(row.size, ListRoles::Sort);
        auto *created = new QStandardItem(row.createdText);
        created->setData(row.created, ListRoles::Sort);
        rows->appendRow({name, size, new QStandardItem(row.type), created});
    }
}

QStringList formtemp::selectedPaths() const
{
    QStringList paths;
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows(0);
    QList<int> order;
    for (const QModelIndex &index : selected)
        order.append(index.row());
    std::sort(order.begin(), order.end());
    for (int row : order)
        paths.append(rows->item(row, 0)->data(ListRoles::Key).toString());
    return paths;
}

void formtemp::menu_delete_Click()
{
    const TempFolder::Removal removal = TempFolder::remove(m_folder, selectedPaths());
    menu_refresh_Click();
    statusBar()->showMessage(TempFolder::statusText(removal));
}

void formtemp::menu_clear_Click()
{
    const TempFolder::Removal removal = TempFolder::clear(m_folder);
    menu_refresh_Click();
    statusBar()->showMessage(TempFolder::statusText(removal));
}

bool formtemp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1 && event->type() == QEvent::Resize)
        sizeColumns();
    if (watched == ListView1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        menu_delete_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Each column a fifth of the list's width.
void formtemp::sizeColumns()
{
    const int fifth = ListView1->width() / 5;
    for (int c = 0; c < 4; ++c)
        ListView1->setColumnWidth(c, fifth);
}

void formtemp::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QMainWindow::keyPressEvent(event);
}
