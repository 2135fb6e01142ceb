#include "LocalPane.h"

#include "AppState.h"
#include "Events.h"
#include "FileIconCache.h"
#include "FileOpener.h"
#include "LocalPaths.h"
#include "LocalTrash.h"
#include "TreeKeyFollow.h"
#include "FileListView.h"
#include "variousFunctions.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

// The hourglass while the pane works.
struct WaitCursor
{
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

LocalPane::LocalPane(const PaneServices &services, const LocalControls &controls)
    : QObject(&services.window), m_s(services), m_ui(controls), m_tree(*controls.localTree, services.icons),
      m_opener(std::make_unique<DesktopFileOpener>()), m_trash(std::make_unique<LocalTrash>())
{
    m_tree.setEventPump(pumpEvents);
    wireTree();
    wireList();
    wireMenus();
    wireOperations();
}

LocalPane::~LocalPane() = default;

QString LocalPane::documentsFolder()
{
    return LocalPlaces::documentsFolder();
}

void LocalPane::setFileOpener(std::unique_ptr<FileOpener> opener)
{
    m_opener = std::move(opener);
}

void LocalPane::setTrash(std::unique_ptr<LocalTrash> trash)
{
    m_trash = std::move(trash);
}

void LocalPane::wireTree()
{
    QTreeView *tree = m_ui.TreeView1;
    tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    connect(tree, &QTreeView::clicked, this, &LocalPane::TreeView1_NodeClick);
    connect(new TreeKeyFollow(tree), &TreeKeyFollow::settled, this, &LocalPane::TreeView1_NodeClick);
    connect(tree, &QTreeView::expanded, this, &LocalPane::TreeView1_Expand);
    connect(tree, &QTreeView::collapsed, this, &LocalPane::TreeView1_Collapse);
    connect(m_ui.localTree, &QStandardItemModel::itemChanged, this, &LocalPane::TreeView1_AfterLabelEdit);
}

void LocalPane::wireList()
{
    FileListView *list = m_ui.ListView3;
    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(list->reportView()), static_cast<QAbstractItemView *>(list->iconView())}) {
        view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        view->installEventFilter(this);
    }
    // A double-click or Enter on a row.
    connect(list, &FileListView::activated, this, &LocalPane::ListView3_DblClick);
    connect(list->model(), &QStandardItemModel::itemChanged, this, &LocalPane::ListView3_AfterLabelEdit);
    connect(m_ui.txtLocal, &QLineEdit::returnPressed, this, &LocalPane::txtLocal_KeyPress);
}

void LocalPane::wireMenus()
{
    const QList<QPair<const char *, void (LocalPane::*)()>> commands = {
        {"menu_refresh_client", &LocalPane::menu_refresh_client_Click},
        {"menu_showall_client", &LocalPane::menu_showall_client_Click},
        {"menu2_showall", &LocalPane::menu_showall_client_Click},
        {"menu_showcustom_client", &LocalPane::menu_showcustom_client_Click},
        {"menu2_showcustom", &LocalPane::menu_showcustom_client_Click},
        {"menu_exec", &LocalPane::ListView3_DblClick},
        {"menu2_open", &LocalPane::ListView3_DblClick},
    };
    for (const auto &[name, slot] : commands)
        m_s.onAction(name, this, slot);
}

bool LocalPane::eventFilter(QObject *watched, QEvent *event)
{
    const auto *view = qobject_cast<QAbstractItemView *>(watched);
    // An open label editor takes its own keys, so Delete here is meant for the rows.
    if (view && event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        menu2_delete_Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void LocalPane::ListDrives()
{
    const LocalPlaces places = LocalPlaces::ofThisSystem();
    if (!m_tree.build(places)) {
        m_s.prompter.message(
            QStringLiteral("No hard drives were detected in your computer. A virus may be preventing these drives for "
                           "being detected. Please run a virus scanner now, or update your kernel32.dll file. The "
                           "application will now close."),
            Prompter::Icon::Critical);
        m_s.window.close();
        return;
    }
    m_ui.TreeView1->expand(m_tree.desktopNode()->index());
    m_ui.TreeView1->expand(m_tree.computerNode()->index());
    for (const QString &folder : m_tree.walkDown(places.documents))
        expandAndSelect(folder);
}

void LocalPane::ClientGetDirectoryContents()
{
    const WaitCursor wait;
    AppState &state = m_s.state;
    state.currentLocalFolder = LocalPaths::asFolder(state.currentLocalFolder);
    m_ui.txtLocal->setText(state.currentLocalFolder);
    const LocalListing listing = LocalListing::of(state.currentLocalFolder, state.localFilter, m_s.icons);
    showRows(listing);
    m_s.status.showStatus(QStringLiteral("local"), listing.totalsLine());
}

void LocalPane::showRows(const LocalListing &listing)
{
    const FileListView &list = *m_ui.ListView3;
    QList<int> columns;
    for (const char *key : {"name", "size", "type", "date", "tsize"})
        columns << list.column(QString::fromLatin1(key));
    m_ui.ListView3->setRows(listing.table(columns, list.model()->columnCount())); // one reset, not a signal per row
}

void LocalPane::expandAndSelect(const QString &folder)
{
    QStandardItem *node = m_tree.folderNode(folder);
    if (!node)
        return;
    const QPersistentModelIndex index(node->index());
    m_tree.expand(node); // the view says nothing when the node is open already
    if (!index.isValid())
        return;
    m_ui.TreeView1->expand(index);
    m_ui.TreeView1->scrollTo(index);
    m_ui.TreeView1->setCurrentIndex(index);
}

void LocalPane::TreeView1_NodeClick(const QModelIndex &index)
{
    const QString folder = LocalTree::folderOf(m_ui.localTree->itemFromIndex(index));
    if (folder.isEmpty())
        return; // My computer
    m_s.state.currentLocalFolder = folder;
    ClientGetDirectoryContents();
}

void LocalPane::TreeView1_Expand(const QModelIndex &index)
{
    QStandardItem *node = m_ui.localTree->itemFromIndex(index);
    if (!node || LocalTree::kindOf(node) == LocalTree::Kind::Computer)
        return;
    m_ui.TreeView1->setCurrentIndex(index);
    m_tree.expand(node);
}

void LocalPane::TreeView1_Collapse(const QModelIndex &index)
{
    AppState &state = m_s.state;
    const QString moved = m_tree.collapse(m_ui.localTree->itemFromIndex(index), state.currentLocalFolder);
    if (moved.isEmpty())
        return;
    state.currentLocalFolder = moved;
    m_ui.TreeView1->setCurrentIndex(index);
    ClientGetDirectoryContents();
}

void LocalPane::txtLocal_KeyPress()
{
    AppState &state = m_s.state;
    const QString folder = LocalPaths::typedFolder(m_ui.txtLocal->text());
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        m_s.prompter.message(QStringLiteral("Could not change local directory."), Prompter::Icon::Warning);
        m_ui.txtLocal->setText(state.currentLocalFolder);
        return;
    }
    state.currentLocalFolder = folder;
    m_ui.txtLocal->setText(folder);
    for (const QString &level : LocalPaths::levels(folder).mid(1))
        expandAndSelect(level);
    ClientGetDirectoryContents();
}

int LocalPane::selectedRow() const
{
    const QList<int> rows = m_ui.ListView3->selectedRows();
    const int current = m_ui.ListView3->selectionModel()->currentIndex().row();
    return rows.contains(current) ? current : rows.value(0, -1);
}

void LocalPane::ListView3_DblClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString key = m_ui.ListView3->rowKey(row);
    if (!ListRoles::isFolderLike(m_ui.ListView3->rowKind(row))) {
        // Whether a program started is not told: a file without one simply does not open.
        variousFunctions::OpenWithAssociatedProgram(key, *m_opener);
        return;
    }
    AppState &state = m_s.state;
    expandAndSelect(state.currentLocalFolder);
    state.currentLocalFolder = LocalPaths::asFolder(key);
    expandAndSelect(state.currentLocalFolder);
    ClientGetDirectoryContents();
}

void LocalPane::menu_refresh_client_Click()
{
    ListDrives();
    ClientGetDirectoryContents();
}

void LocalPane::menu_showall_client_Click()
{
    m_s.state.localFilter = QStringLiteral("*.*");
    ClientGetDirectoryContents();
}

void LocalPane::menu_showcustom_client_Click()
{
    const QString extension = m_s.prompter.input(QStringLiteral("Please enter the extension to be shown:"));
    if (extension.isEmpty())
        return;
    m_s.state.localFilter = QStringLiteral("*.") + extension;
    ClientGetDirectoryContents();
}
