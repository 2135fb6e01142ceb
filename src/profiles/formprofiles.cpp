#include "formprofiles.h"

#include "EncodeHex64.h"
#include "Events.h"
#include "ListRoles.h"
#include "ProfileHost.h"
#include "Prompter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QString commentForDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

formprofiles::formprofiles(const QString &profilesFolder, ProfileHost &host, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_store(profilesFolder), m_host(host)
{
    setObjectName(QStringLiteral("formprofiles"));
    setWindowTitle(QStringLiteral("Vestrigal - FTP Profiles"));
    createControls();
    createMenus();
    setFieldsEnabled(false);
    m_store.secureRoot();
    m_currentFolder = m_store.root();
    GetProfiles();
    resize(680, 440);
}

void formprofiles::createControls()
{
    auto *split = new QSplitter(this);
    setCentralWidget(split);
    TreeView1 = new QTreeView(split);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    profileTree = new QStandardItemModel(TreeView1);
    TreeView1->setModel(profileTree);
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->installEventFilter(this);
    connect(TreeView1, &QTreeView::clicked, this, &formprofiles::TreeView1_NodeClick);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_profilesMenu->popup(TreeView1->viewport()->mapToGlobal(pos)); });

    auto *panel = new QWidget(split);
    auto *form = new QFormLayout;
    auto field = [&](QLineEdit *&edit, const char *name, const char *label) {
        edit = new QLineEdit(panel);
        edit->setObjectName(QString::fromLatin1(name));
        form->addRow(QString::fromLatin1(label), edit);
    };
    field(txtServer, "txtServer", "Server address:");
    field(txtPort, "txtPort", "Port #:");
    field(txtUsername, "txtUsername", "Username:");
    field(txtPassword, "txtPassword", "Password:");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    field(txtProxy, "txtProxy", "Proxy name:");
    field(txtKeep, "txtKeep", "Keep-alive delay:");
    field(txtTimeout, "txtTimeout", "Timeout:");
    auto *types = new QWidget(panel);
    auto *typeRow = new QHBoxLayout(types);
    typeRow->setContentsMargins(0, 0, 0, 0);
    optActive = new QRadioButton(QStringLiteral("Active"), types);
    optActive->setObjectName(QStringLiteral("optActive"));
    optPassive = new QRadioButton(QStringLiteral("Passive"), types);
    optPassive->setObjectName(QStringLiteral("optPassive"));
    auto *group = new QButtonGroup(this); // exactly one is on
    group->addButton(optActive);
    group->addButton(optPassive);
    optActive->setChecked(true);
    typeRow->addWidget(optActive);
    typeRow->addWidget(optPassive);
    typeRow->addStretch();
    form->addRow(QStringLiteral("Connect type:"), types);
    txtComments = new QPlainTextEdit(panel);
    txtComments->setObjectName(QStringLiteral("txtComments"));
    form->addRow(QStringLiteral("Comments:"), txtComments);

    btnSave = new QPushButton(QStringLiteral("Save info"), panel);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnConnect = new QPushButton(QStringLiteral("Connect"), panel);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    connect(btnSave, &QPushButton::clicked, this, &formprofiles::btnSave_Click);
    connect(btnConnect, &QPushButton::clicked, this, &formprofiles::btnConnect_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSave);
    buttons->addWidget(btnConnect);
    auto *column = new QVBoxLayout(panel);
    column->addLayout(form);
    column->addLayout(buttons);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
}

void formprofiles::createMenus()
{
    struct Item
    {
        const char *name;
        const char *caption;
        const char *shortcut;
        void (formprofiles::*slot)();
    };
    auto menu = [this](const char *name, const char *caption, std::initializer_list<Item> items) {
        QMenu *m = menuBar()->addMenu(QString::fromLatin1(caption));
        m->setObjectName(QString::fromLatin1(name));
        for (const Item &item : items) {
            QAction *a = item.slot ? m->addAction(QString::fromLatin1(item.caption)) : m->addSeparator();
            a->setObjectName(QString::fromLatin1(item.name));
            if (item.shortcut)
                a->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
            if (item.slot)
                connect(a, &QAction::triggered, this, item.slot);
        }
        return m;
    };
    menu("menu_file", "&File",
         {{"menu_connect", "Connect", nullptr, &formprofiles::btnConnect_Click},
          {"menu_save", "Save info", "Ctrl+S", &formprofiles::btnSave_Click},
          {"sep1", "-", nullptr, nullptr},
          {"menu_exit", "Exit", nullptr, &formprofiles::menu_exit_Click}});
    menu("menu_edit", "&Edit",
         {{"menu_copy", "Copy", "Ctrl+C", &formprofiles::menu_copy_Click},
          {"menu_cut", "Cut", "Ctrl+X", &formprofiles::menu_cut_Click},
          {"menu_paste", "Paste", "Ctrl+V", &formprofiles::menu_paste_Click}});
    m_profilesMenu = menu("menu_profiles", "&Profiles",
                          {{"menu_add", "Add profile...", nullptr, &formprofiles::menu_add_Click},
                           {"menu_remove", "Remove selected", nullptr, &formprofiles::menu_remove_Click},
                           {"menu_delete", "Remove all", nullptr, &formprofiles::menu_delete_Click},
                           {"sep2", "-", nullptr, nullptr},
                           {"menu_cfolder", "Create folder...", nullptr, &formprofiles::menu_cfolder_Click},
                           {"menu_clear", "Clear all", nullptr, &formprofiles::menu_clear_Click}});
}

QAction *formprofiles::action(const QString &name) const
{
    return menuBar()->findChild<QAction *>(name);
}

void formprofiles::setFieldsEnabled(bool enabled)
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{txtServer, txtPort, txtUsername, txtPassword, txtProxy, txtKeep, txtTimeout,
                                          optActive, optPassive, txtComments, btnSave, btnConnect})
        w->setEnabled(enabled);
}

QStandardItem *formprofiles::node(const QString &key) const
{
    const QModelIndexList found =
        profileTree->match(profileTree->index(0, 0), ListRoles::Key, key, 1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : profileTree->itemFromIndex(found.first());
}

void formprofiles::GetProfiles()
{
    profileTree->clear();
    m_nodes = m_store.GetProfiles();
    const QIcon icons[] = {style()->standardIcon(QStyle::SP_DriveNetIcon), style()->standardIcon(QStyle::SP_DirIcon),
                           style()->standardIcon(QStyle::SP_FileIcon)};
    QHash<QString, QStandardItem *> items;
    for (const ProfileNode &n : m_nodes) {
        auto *item = new QStandardItem(icons[n.image - 1], n.text);
        item->setData(n.key, ListRoles::Key);
        QStandardItem *parent = items.value(n.parentKey);
        (parent ? parent : profileTree->invisibleRootItem())->appendRow(item);
        if (n.isFolder())
            items.insert(n.key, item);
    }
    TreeView1->expandAll();
    // A folder deleted meanwhile can no longer take new profiles.
    if (!QFileInfo(m_currentFolder).isDir())
        m_currentFolder = m_store.root();
}

void formprofiles::TreeView1_NodeClick(const QModelIndex &index)
{
    const QString key = index.data(ListRoles::Key).toString();
    if (key.isEmpty())
        return;
    if (key.endsWith(QLatin1Char('/'))) {
        m_currentFolder = key;
        m_shownProfile.clear();
        setFieldsEnabled(false);
        for (QLineEdit *edit : findChildren<QLineEdit *>(QRegularExpression(QStringLiteral("^txt"))))
            edit->clear();
        txtComments->clear();
        return;
    }
    setFieldsEnabled(true);
    showProfile(key);
}

// The values go into the fields one by one; a damaged file leaves the later fields as they were.
void formprofiles::showProfile(const QString &path)
{
    m_shownProfile = path;
    const ProfileRead read = ProfileFile::read(path);
    m_shownWhole = !read.damaged;
    QLineEdit *edits[] = {txtServer, txtPort, txtUsername, txtPassword, txtProxy, nullptr, txtKeep, txtTimeout};
    for (int i = 0; i < read.values.size() && i < 8; ++i) {
        if (edits[i])
            edits[i]->setText(read.values[i]);
        else
            txtComments->setPlainText(commentForDisplay(read.values[i]));
    }
    if (read.damaged) {
        m_host.prompter().message(QStringLiteral("Error, information file is damaged. Please re-create the profile."),
                                  Prompter::Icon::Critical);
        return;
    }
    (read.active ? optActive : optPassive)->setChecked(true);
}

// After a damaged read the fields mix what was read with the profile shown before: that mixture
// is neither written to the file nor handed to a server. Every Save info and Connect asks here.
bool formprofiles::shownProfileIsWhole(const QString &consequence)
{
    if (m_shownProfile.isEmpty() || m_shownWhole)
        return true;
    m_host.prompter().message(QStringLiteral("The profile \"%1\" could not be read whole, so the fields do not hold "
                                             "its information. %2")
                                  .arg(QFileInfo(m_shownProfile).fileName(), consequence),
                              Prompter::Icon::Warning);
    return false;
}

Profile formprofiles::shownProfile() const
{
    return {txtServer->text(),          txtPort->text(), txtUsername->text(), txtPassword->text(),   txtProxy->text(),
            txtComments->toPlainText(), txtKeep->text(), txtTimeout->text(),  optActive->isChecked()};
}

bool formprofiles::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TreeView1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        menu_remove_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void formprofiles::menu_add_Click()
{
    const QString name = m_host.prompter().input(
        QStringLiteral("Enter the name for the new profile. You should use the remote server address."));
    switch (m_store.createProfile(m_currentFolder, name)) {
    case ProfileStore::Created::Done:
        GetProfiles();
        break;
    case ProfileStore::Created::Exists:
        m_host.prompter().message(QStringLiteral("This profile already exists, please choose another name."),
                                  Prompter::Icon::Warning);
        break;
    case ProfileStore::Created::BadName:
        m_host.prompter().message(ProfileStore::nameProblem(name, QStringLiteral(".dat")), Prompter::Icon::Warning);
        break;
    case ProfileStore::Created::Failed:
        m_host.prompter().message(QStringLiteral("Could not create the profile \"%1\".").arg(name),
                                  Prompter::Icon::Critical);
        break;
    case ProfileStore::Created::Ignored:
        break;
    }
}

void formprofiles::menu_cfolder_Click()
{
    const QString name = m_host.prompter().input(QStringLiteral("Enter the name for the new folder."));
    switch (m_store.createFolder(m_currentFolder, name)) {
    case ProfileStore::Created::Done:
        GetProfiles();
        break;
    case ProfileStore::Created::BadName:
        m_host.prompter().message(ProfileStore::nameProblem(name), Prompter::Icon::Warning);
        break;
    case ProfileStore::Created::Failed:
    case ProfileStore::Created::Exists:
        m_host.prompter().message(QStringLiteral("Could not create directory."), Prompter::Icon::Critical);
        break;
    case ProfileStore::Created::Ignored:
        break;
    }
}

// In tree order, the root left out.
QList<ProfileNode> formprofiles::selectedNodes() const
{
    QList<ProfileNode> chosen;
    const QItemSelectionModel *selection = TreeView1->selectionModel();
    for (const ProfileNode &n : m_nodes) {
        if (n.key == m_store.root())
            continue;
        if (QStandardItem *item = node(n.key); item && selection->isSelected(item->index()))
            chosen.append(n);
    }
    return chosen;
}

void formprofiles::removeNodes(const QList<ProfileNode> &nodes)
{
    m_store.removeNodes(nodes, [this](const ProfileNode &n) {
        const QString what = n.isFolder() ? QStringLiteral("the folder") : QStringLiteral("the profile");
        return m_host.prompter().message(
                   QStringLiteral("Could not delete %1 \"%2\". Do you want to delete the others? Click Cancel to "
                                  "stop here.")
                       .arg(what, n.text),
                   Prompter::Icon::Warning, Prompter::Buttons::OkCancel) == Prompter::Answer::Ok;
    });
    GetProfiles();
}

void formprofiles::menu_remove_Click()
{
    removeNodes(selectedNodes());
}

void formprofiles::menu_delete_Click()
{
    if (m_host.prompter().message(QStringLiteral("Are you sure you want to delete all profiles?"),
                                  Prompter::Icon::Warning, Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;
    QList<ProfileNode> profiles;
    for (const ProfileNode &n : m_nodes)
        if (n.image == ProfileNode::File)
            profiles.append(n);
    removeNodes(profiles);
}

void formprofiles::menu_clear_Click()
{
    if (m_host.prompter().message(
            QStringLiteral("Are you sure you want to clear all? All folders and profiles will be lost."),
            Prompter::Icon::Warning, Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;
    removeNodes(m_nodes.mid(1));
}

// The shown fields go back into the profile's file, in the same format, before the digits of
// the user name are shown.
void formprofiles::btnSave_Click()
{
    Prompter &prompter = m_host.prompter();
    if (m_shownProfile.isEmpty()) {
        prompter.message(QStringLiteral("Click a profile first: its information is what is saved."),
                         Prompter::Icon::Warning);
        return;
    }
    if (!shownProfileIsWhole(QStringLiteral("Nothing was saved.")))
        return;
    if (!QFileInfo::exists(m_shownProfile)) {
        prompter.message(
            QStringLiteral("The profile \"%1\" no longer exists.").arg(QFileInfo(m_shownProfile).fileName()),
            Prompter::Icon::Warning);
        return;
    }
    const Profile profile = shownProfile();
    if (const QString tag = ProfileFile::tagInside(profile); !tag.isEmpty()) {
        prompter.message(QStringLiteral("A field holds the text \"%1\", which the profile file cannot keep. "
                                        "Nothing was saved.")
                             .arg(tag),
                         Prompter::Icon::Warning);
        return;
    }
    const QString file = QFileInfo(m_shownProfile).fileName();
    switch (m_store.writeProfile(m_shownProfile, profile)) {
    case ProfileStore::Saved::Done:
        break;
    case ProfileStore::Saved::NotAProfile:
        prompter.message(
            QStringLiteral("The file \"%1\" is not a whole profile any more. Nothing was saved.").arg(file),
            Prompter::Icon::Warning);
        return;
    case ProfileStore::Saved::Failed:
        prompter.message(QStringLiteral("Could not save the profile \"%1\".").arg(file), Prompter::Icon::Critical);
        return;
    }
    prompter.message(EncodeHex64(txtUsername->text()));
}

void formprofiles::btnConnect_Click()
{
    if (!shownProfileIsWhole(QStringLiteral("Re-create the profile to connect with it.")))
        return;
    QString problem;
    const auto connection = ProfileConnection::from(shownProfile(), &problem);
    if (!connection) {
        m_host.prompter().message(problem, Prompter::Icon::Warning);
        return;
    }
    m_host.setConnectionFields(*connection);
    m_host.setActiveMode(optActive->isChecked());
    hide();
    const QPointer<formprofiles> self(this);
    pumpEvents();
    if (!self)
        return;
    m_host.runConnect(connection->startFolder);
    if (self)
        close();
}

void formprofiles::menu_exit_Click()
{
    close();
}

void formprofiles::menu_cut_Click()
{
    QWidget *active = QApplication::focusWidget();
    if (auto *edit = qobject_cast<QLineEdit *>(active))
        edit->cut();
    else if (auto *text = qobject_cast<QPlainTextEdit *>(active))
        text->cut();
}

void formprofiles::menu_copy_Click()
{
    QWidget *active = QApplication::focusWidget();
    if (auto *edit = qobject_cast<QLineEdit *>(active))
        edit->copy();
    else if (auto *text = qobject_cast<QPlainTextEdit *>(active))
        text->copy();
}

void formprofiles::menu_paste_Click()
{
    QWidget *active = QApplication::focusWidget();
    if (auto *edit = qobject_cast<QLineEdit *>(active))
        edit->paste();
    else if (auto *text = qobject_cast<QPlainTextEdit *>(active))
        text->paste();
}
