#include "formmain.h"

#include "AppState.h"
#include "FileIconCache.h"
#include "LocalPane.h"
#include "LogCommands.h"
#include "SessionLog.h"
#include "MainMenus.h"
#include "Padlock.h"
#include "ToolbarIcons.h"
#include "QueuePane.h"
#include "RemotePane.h"
#include "SplitterBar.h"
#include "TelnetLauncher.h"
#include "ToolWindows.h"
#include "QueueArea.h"
#include "WidgetPrompter.h"
#include "formabout.h"
#include "formconfig.h"
#include "formnews.h"
#include "formprofiles.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

formmain::formmain(AppState &state, std::unique_ptr<Prompter> prompter, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_prompter(std::move(prompter))
{
    if (!m_prompter)
        m_prompter = std::make_unique<WidgetPrompter>(this);
    m_tools = new ToolWindows({state.folders.temp, state.folders.helpFile, m_prompter.get()}, this);
    setObjectName(QStringLiteral("formmain"));
    setWindowTitle(QStringLiteral("Vestrigal"));
    createControls();
    createMenus();
    createLog();
    m_icons = std::make_unique<FileIconCache>();
    m_parts = MainWindowParts::build(*this);
    load();
}

formmain::~formmain()
{
    m_parts.remote->forget();
    // The last lines of the transfer connections reach the log file; the window, going, takes no more.
    m_log->flush();
    disconnect(m_log, nullptr, this, nullptr);
}

void formmain::createControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);
    createToolbar(central);
    createQuickConnectBar(central);
    createPanes(central);
    createStatusBar(central);

    timeKeep = new QTimer(this);
    timeKeep->setObjectName(QStringLiteral("timeKeep"));
    timeOut = new QTimer(this);
    timeOut->setObjectName(QStringLiteral("timeOut"));
}

void formmain::createQuickConnectBar(QWidget *central)
{
    m_quickConnect = new QWidget(central);
    auto *row = new QHBoxLayout(m_quickConnect);
    row->setContentsMargins(4, 0, 4, 0);
    auto field = [&](QLabel *&label, const QString &labelName, const QString &caption, QLineEdit *&edit,
                     const QString &editName) {
        label = new QLabel(caption, m_quickConnect);
        label->setObjectName(labelName);
        edit = new QLineEdit(m_quickConnect);
        edit->setObjectName(editName);
        label->setBuddy(edit);
        row->addWidget(label);
        row->addWidget(edit, 1);
    };
    field(Label1, QStringLiteral("Label1"), QStringLiteral("FTP remote host:"), txtServer, QStringLiteral("txtServer"));
    field(Label3, QStringLiteral("Label3"), QStringLiteral("Username:"), txtUsername, QStringLiteral("txtUsername"));
    field(Label4, QStringLiteral("Label4"), QStringLiteral("Password:"), txtPassword, QStringLiteral("txtPassword"));
    field(Label2, QStringLiteral("Label2"), QStringLiteral("Port #:"), txtPort, QStringLiteral("txtPort"));
    // Masked: a screen share or a screenshot must not show it.
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPort->setText(QStringLiteral("21"));
    txtPort->setMaximumWidth(70);
    btnConnect = new QPushButton(QStringLiteral("Connect"), m_quickConnect);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    row->addWidget(btnConnect);
    setTabOrder(txtServer, txtUsername);
    setTabOrder(txtUsername, txtPassword);
    setTabOrder(txtPassword, txtPort);

    // The per-connection fields the profile manager fills; never shown.
    auto hidden = [&](const QString &name, const QString &text) {
        auto *edit = new QLineEdit(text, central);
        edit->setObjectName(name);
        edit->hide();
        return edit;
    };
    txtProxy = hidden(QStringLiteral("txtProxy"), QString());
    txtKeep = hidden(QStringLiteral("txtKeep"), QStringLiteral("0"));
    txtTimeout = hidden(QStringLiteral("txtTimeout"), QStringLiteral("0"));
    checkType = new QCheckBox(QStringLiteral("Use active mode"), central);
    checkType->setObjectName(QStringLiteral("checkType"));
    checkType->hide();
}

void formmain::createPanes(QWidget *central)
{
    auto tree = [&](const QString &name, QStandardItemModel *&model) {
        auto *view = new QTreeView(central);
        view->setObjectName(name);
        model = new QStandardItemModel(view);
        view->setModel(model);
        view->setHeaderHidden(true);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        return view;
    };
    TreeView1 = tree(QStringLiteral("TreeView1"), localTree);
    TreeView2 = tree(QStringLiteral("TreeView2"), remoteTree);
    txtLocal = new QLineEdit(central);
    txtLocal->setObjectName(QStringLiteral("txtLocal"));
    txtDirectory = new QLineEdit(central);
    txtDirectory->setObjectName(QStringLiteral("txtDirectory"));
    ListView1 = new FileListView(QStringLiteral("ListView1"), central);
    ListView2 = new FileListView(QStringLiteral("ListView2"), central);
    ListView3 = new FileListView(QStringLiteral("ListView3"), central);
    queueArea = new QueueArea(ListView2, central);
    RichTextBox1 = new QTextEdit(central);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setUndoRedoEnabled(false); // a read-only log: an undo record per line would only grow
    RichTextBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int i = 0; i < 5; ++i) {
        splitter[i] = new SplitterBar(i + 1, i == 2 ? Qt::Vertical : Qt::Horizontal, central);
        connect(splitter[i], &SplitterBar::dragStarted, this, [this] { m_state.splitterDragging = true; });
        connect(splitter[i], &SplitterBar::dragEnded, this, [this] { m_state.splitterDragging = false; });
        connect(splitter[i], &SplitterBar::dragged, this, [this](int number, int offset) {
            if (m_state.splitterDragging && moveSplitter(number, pixelsToTwips(offset)))
                applyLayout();
        });
    }
}

void formmain::createToolbar(QWidget *central)
{
    Toolbar1 = new QToolBar(central);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(24, 24));
    struct Button
    {
        const char *key;
        const char *theme;
        QStyle::StandardPixmap fallback;
        const char *tip;
    };
    const Button buttons[] = {
        {"profiles", "system-users", QStyle::SP_DirHomeIcon, "Profile manager"},
        {"connect", "network-transmit-receive", QStyle::SP_DialogYesButton, "Connect"},
        {"disconnect", "network-offline", QStyle::SP_DialogNoButton, "Disconnect"},
        {nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
        {"play", "media-playback-start", QStyle::SP_MediaPlay, "Resume the queue"},
        {"pause", "media-playback-pause", QStyle::SP_MediaPause, "Pause the queue"},
        {"stop", "media-playback-stop", QStyle::SP_MediaStop, "Cancel the selected transfers"},
        {nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
        {"telnet", "utilities-terminal", QStyle::SP_ComputerIcon, "Telnet client"},
        {"calc", "accessories-calculator", QStyle::SP_FileDialogDetailedView, "Calculator"},
        {"temp", "user-trash", QStyle::SP_TrashIcon, "Browse temporary files"},
        {"config", "preferences-system", QStyle::SP_FileDialogInfoView, "Configuration"},
        {nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
        {"help", "help-browser", QStyle::SP_DialogHelpButton, "Help"},
    };
    int index = 0;
    for (const Button &b : buttons) {
        ++index;
        if (!b.key) {
            Toolbar1->addSeparator()->setData(index);
            continue;
        }
        QIcon icon = ToolbarIcons::queueIcon(QString::fromLatin1(b.key), Toolbar1->iconSize().height());
        if (icon.isNull())
            icon = QIcon::fromTheme(QString::fromLatin1(b.theme), style()->standardIcon(b.fallback));
        QAction *a = Toolbar1->addAction(icon, QString::fromLatin1(b.tip));
        a->setObjectName(QString::fromLatin1(b.key));
        a->setData(index);
    }
    connect(Toolbar1, &QToolBar::actionTriggered, this,
            [this](QAction *a) { Toolbar1_ButtonClick(a->data().toInt()); });
}

void formmain::createStatusBar(QWidget *central)
{
    StatusBar1 = new QStatusBar(central);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (const QString &key : {QString(), QStringLiteral("local"), QStringLiteral("remote"), QStringLiteral("queue")}) {
        auto *panel = new QLabel(StatusBar1);
        panel->setObjectName(key.isEmpty() ? QStringLiteral("panel_status") : QStringLiteral("panel_") + key);
        panel->setProperty("key", key);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(1);
        StatusBar1->addWidget(panel, 1); // equal stretch: a quarter each
        m_panels.append(panel);
    }
    m_padlock = new Padlock(StatusBar1);
    StatusBar1->addPermanentWidget(m_padlock);
}

QLabel *formmain::statusPanel(const QString &key) const
{
    for (QLabel *panel : m_panels)
        if (panel->property("key").toString() == key)
            return panel;
    return nullptr;
}

void formmain::showStatus(const QString &key, const QString &text)
{
    if (QLabel *panel = statusPanel(key))
        panel->setText(text);
}

void formmain::EnableConnectionCommands(bool enabled)
{
    for (const QString &name : MainMenus::connectionCommands())
        if (QAction *a = action(name))
            a->setEnabled(enabled);
}

void formmain::createMenus()
{
    MainMenus::build(menuBar(), this, m_actions, m_menus);
    wireMenus();
}

void formmain::attachPopup(QWidget *control, const QString &popupName)
{
    QMenu *popup = menu(popupName);
    auto show = [popup](const QPoint &global) { popup->popup(global); };
    if (auto *list = qobject_cast<FileListView *>(control)) {
        connect(list, &FileListView::contextMenuRequested, popup, show);
        return;
    }
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, popup,
            [control, show](const QPoint &pos) { show(control->mapToGlobal(pos)); });
}

void formmain::onConnect(const QString &name, void (formmain::*slot)())
{
    connect(action(name), &QAction::triggered, this, slot);
}

void formmain::wireMenus()
{
    attachPopup(ListView1, QStringLiteral("menu_ListView1Custom"));
    attachPopup(ListView3, QStringLiteral("menu_File1Custom"));
    attachPopup(ListView2, QStringLiteral("menu_ListView2Custom"));
    attachPopup(RichTextBox1, QStringLiteral("menu_Rich1Custom"));
    attachPopup(TreeView1, QStringLiteral("menu_TreeView1Custom"));
    attachPopup(TreeView2, QStringLiteral("menu_TreeView2Custom"));

    onConnect(QStringLiteral("menu_exit"), &formmain::btnQuit_Click);
    onConnect(QStringLiteral("menu_telnet"), &formmain::menu_telnet_Click);
    onConnect(QStringLiteral("menu_news"), &formmain::menu_news_Click);
    onConnect(QStringLiteral("menu_about"), &formmain::menu_about_Click);
    connect(action(QStringLiteral("menu_temp")), &QAction::triggered, m_tools, &ToolWindows::showTemp);
    connect(action(QStringLiteral("menu_calc")), &QAction::triggered, m_tools, &ToolWindows::showCalc);
    connect(action(QStringLiteral("menu_gohelp")), &QAction::triggered, m_tools, &ToolWindows::showHelp);
    connect(action(QStringLiteral("menu_http")), &QAction::triggered, m_tools, &ToolWindows::showHttp);
    onConnect(QStringLiteral("menu_connect"), &formmain::menu_connect_Click);
    onConnect(QStringLiteral("menu_config"), &formmain::menu_config_Click);
    wireViewModes(Side::Client, QStringLiteral("menu_client_"), QStringLiteral("menu2_"));
    wireViewModes(Side::Server, QStringLiteral("menu_server_"), QStringLiteral("menu1_"));
}

void formmain::wireViewModes(Side side, const QString &barPrefix, const QString &popupPrefix)
{
    const QList<QPair<QString, FileListView::ViewMode>> modes = {
        {QStringLiteral("lvwreport"), FileListView::Report},
        {QStringLiteral("lvwsmallicons"), FileListView::SmallIcons},
        {QStringLiteral("lvwicons"), FileListView::Icons},
        {QStringLiteral("lvwlist"), FileListView::List}};
    for (const auto &[suffix, mode] : modes) {
        for (const QString &prefix : {barPrefix, popupPrefix}) {
            QAction *a = action(prefix + suffix);
            a->setCheckable(true);
            // The popup's items run the menu bar's command, so both groups stay in step.
            connect(a, &QAction::triggered, this, [this, side, m = mode] { setListViewMode(side, m); });
        }
    }
}

void formmain::setListViewMode(Side side, FileListView::ViewMode mode)
{
    const bool client = side == Side::Client;
    (client ? ListView3 : ListView1)->setViewMode(mode);
    static const char *suffixes[] = {"lvwicons", "lvwsmallicons", "lvwlist", "lvwreport"};
    for (int m = 0; m < 4; ++m) {
        for (const char *prefix : {client ? "menu_client_" : "menu_server_", client ? "menu2_" : "menu1_"})
            action(QString::fromLatin1(prefix) + QString::fromLatin1(suffixes[m]))->setChecked(m == mode);
    }
}

void formmain::Toolbar1_ButtonClick(int index)
{
    switch (index) {
    case 1:
        menu_connect_Click();
        break;
    case 2:
        m_parts.remote->btnConnect_Click();
        break;
    case 3:
        m_parts.remote->btnDisconnect_Click();
        break;
    case 5:
        m_parts.queue->btnResume_Click();
        break;
    case 6:
        m_parts.queue->btnPause_Click();
        break;
    case 7:
        m_parts.queue->menu_cancel_Click();
        break;
    case 9:
        menu_telnet_Click();
        break;
    case 10:
        m_tools->showCalc();
        break;
    case 11:
        m_tools->showTemp();
        break;
    case 12:
        menu_config_Click();
        break;
    case 14:
        m_tools->showHelp();
        break;
    default:
        break; // the windows and commands behind the other buttons are not built yet
    }
}

void formmain::btnQuit_Click()
{
    // Forget the connection without QUIT; nothing is saved.
    m_parts.remote->forget();
    close();
}

// The program ends with its main window, however it is closed: a transfer or listing under way
// ends through its own steps and the connection goes.
void formmain::closeEvent(QCloseEvent *event)
{
    m_parts.remote->forget();
    QMainWindow::closeEvent(event);
}

void formmain::menu_telnet_Click()
{
    const QString problem = TelnetLauncher::launch(
        [](const QString &program, const QStringList &args) { return QProcess::startDetached(program, args); });
    if (!problem.isEmpty())
        m_prompter->message(problem, Prompter::Icon::Warning);
}

template <class Window> void formmain::showSingle(QPointer<Window> &window)
{
    if (!window) {
        window = new Window(this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setModal(false);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void formmain::menu_news_Click()
{
    showSingle(m_news);
}

void formmain::menu_about_Click()
{
    showSingle(m_about);
}

void formmain::menu_connect_Click()
{
    if (!m_profiles) {
        m_profiles = new formprofiles(m_state.folders.profiles, *this, this);
        m_profiles->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_profiles->show();
    m_profiles->raise();
    m_profiles->activateWindow();
}

void formmain::menu_config_Click()
{
    if (!m_config) {
        m_config = new formconfig(*this, this);
        m_config->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_config->show();
    m_config->raise();
    m_config->activateWindow();
}

Settings &formmain::settings()
{
    return m_state.settings;
}

void formmain::setConnectionFields(const ProfileConnection &c)
{
    m_parts.remote->showFields(c);
}

void formmain::setActiveMode(bool active)
{
    checkType->setChecked(active);
}

void formmain::runConnect(const QString &startFolder)
{
    m_parts.remote->connectAt(startFolder);
}

void formmain::createColumns()
{
    const int wRemote = pixelsToTwips(ListView1->width());
    auto fileColumns = [this](int w) {
        const int p = twipsToPixels(w / 5 - 100);
        return QList<FileListView::Column>{
            {QStringLiteral("File name"), QStringLiteral("name"), twipsToPixels(2 * w / 5 - 100)},
            {QStringLiteral("File size (bytes)"), QStringLiteral("size"), p},
            {QStringLiteral("Type"), QStringLiteral("type"), p},
            {QStringLiteral("Last modified"), QStringLiteral("date"), p},
            {QStringLiteral("File size (bytes)"), QStringLiteral("tsize"), 0}};
    };
    ListView1->setColumns(fileColumns(wRemote));
    ListView3->setColumns(fileColumns(pixelsToTwips(ListView3->width())));
    const int w = pixelsToTwips(queueArea->width()); // the queue list fills it
    const int eighth = twipsToPixels(w / 8 - 200);
    const int quarter = twipsToPixels(2 * w / 8 - 200);
    ListView2->setColumns({{QStringLiteral("Local name"), QStringLiteral("lname"), quarter},
                           {QStringLiteral("Remote name"), QStringLiteral("sname"), quarter},
                           {QStringLiteral("Load"), QStringLiteral("load"), twipsToPixels(800)},
                           {QStringLiteral("File size (bytes)"), QStringLiteral("size"), eighth},
                           {QStringLiteral("Type"), QStringLiteral("type"), eighth},
                           {QStringLiteral("Last modified"), QStringLiteral("time"), eighth},
                           {QStringLiteral("Status"), QStringLiteral("stat"), eighth},
                           {QStringLiteral("File size (bytes)"), QStringLiteral("tsize"), 0}});
}

void formmain::load()
{
    SetStatusLine(QStringLiteral("Not logged in."));
    action(QStringLiteral("menu_rtf"))->setCheckable(true);
    action(QStringLiteral("menu_txt"))->setCheckable(true);
    setLogFormat(m_state.settings.logFormat);
    m_parts.local->ListDrives();
    menu_newlog_Click();
    m_state.currentLocalFolder = LocalPane::documentsFolder();
    EnableConnectionCommands(false);
    setListViewMode(Side::Client, FileListView::Report);
    setListViewMode(Side::Server, FileListView::Report);
    for (const char *name : {"menu_pause", "menu3_pause"})
        action(QString::fromLatin1(name))->setEnabled(true);
    for (const char *name : {"menu_resume", "menu3_resume"})
        action(QString::fromLatin1(name))->setEnabled(false);

    // The whole screen, from its top left corner.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    layOut();
    createColumns();
    showStatus(QStringLiteral("local"), QStringLiteral("Local: 0 files, 0 bytes"));
    showStatus(QStringLiteral("remote"), QStringLiteral("Remote: 0 files, 0 bytes"));
    showStatus(QStringLiteral("queue"), QStringLiteral("Queue: Running 0 files, 0 bytes"));
    m_parts.local->ClientGetDirectoryContents();
}
