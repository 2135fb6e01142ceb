#pragma once

#include "ConfigHost.h"
#include "FileListView.h"
#include "MainWindowParts.h"
#include "PaneLayout.h"
#include "ProfileHost.h"
#include "Prompter.h"
#include "StatusPanels.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class AppState;
class QAction;
class QCheckBox;
class QLabel;
class Padlock;
class QueueArea;
class QLineEdit;
class QMenu;
class QPushButton;
class QStandardItemModel;
class QStatusBar;
class QTextEdit;
class QTimer;
class QToolBar;
class QTreeView;
class SplitterBar;
class FileIconCache;
class LogCommands;
class LogFileWriter;
class SessionLog;
class ToolWindows;
class formabout;
class formnews;
class formprofiles;
class formconfig;

// The main window: quick-connect bar, local and remote trees and lists, the queue, the
// session log, menus, popups, toolbar and status bar. Its slots gather what the user gave
// and call the core.
class formmain : public QMainWindow, public ProfileHost, public ConfigHost, public StatusPanels
{
    Q_OBJECT
public:
    enum class Side { Client, Server };

    explicit formmain(AppState &state, std::unique_ptr<Prompter> prompter = nullptr, QWidget *parent = nullptr);
    ~formmain() override;

    AppState &state() { return m_state; }
    Prompter &prompter() override { return *m_prompter; }
    QAction *action(const QString &name) const { return m_actions.value(name); }
    const QHash<QString, QAction *> &actions() const { return m_actions; }
    QMenu *menu(const QString &name) const { return m_menus.value(name); }
    QLabel *statusPanel(const QString &key) const;
    Padlock *padlock() const { return m_padlock; }
    const PaneLayout &paneLayout() const { return m_layout; }
    FileIconCache &iconCache() { return *m_icons; }
    LocalPane &localPane() { return *m_parts.local; }
    RemotePane &remotePane() { return *m_parts.remote; }
    QueuePane &queuePane() { return *m_parts.queue; }
    DragDrop &dragDrop() { return *m_parts.dragDrop; }
    RemoteOperations &remoteOperations() { return *m_parts.remoteOperations; }
    ToolWindows &toolWindows() { return *m_tools; }

    // Shared routines of the window.
    void showStatus(const QString &key, const QString &text) override;
    bool LogLine(const QString &text, int kind);
    // Appends a server reply in the colour of its code; false when there was none.
    bool LogServerReply(const QString &reply);
    SessionLog &sessionLog();
    void EnableConnectionCommands(bool enabled);
    void setListViewMode(Side side, FileListView::ViewMode mode);
    bool moveSplitter(int number, int offsetTwips);

    // Controls, named as the rest of the program knows them.
    QLabel *Label1, *Label2, *Label3, *Label4;
    QLineEdit *txtServer, *txtUsername, *txtPassword, *txtPort;
    QLineEdit *txtProxy, *txtKeep, *txtTimeout;
    QCheckBox *checkType;
    QPushButton *btnConnect;
    QTreeView *TreeView1, *TreeView2;
    QStandardItemModel *localTree, *remoteTree;
    QLineEdit *txtLocal, *txtDirectory;
    FileListView *ListView1, *ListView2, *ListView3;
    QueueArea *queueArea; // the queue pane: ListView2 and the failed and finished lists, in tabs
    QTextEdit *RichTextBox1;
    QToolBar *Toolbar1;
    QStatusBar *StatusBar1;
    QTimer *timeKeep, *timeOut;
    SplitterBar *splitter[5];

public slots:
    void Toolbar1_ButtonClick(int index);
    void btnQuit_Click();
    void menu_telnet_Click();
    void menu_news_Click();
    void menu_about_Click();
    void menu_newlog_Click();
    void menu_contlog_Click();
    void menu_clearlog_Click();
    void setLogFormat(qint16 format) override;
    void menu_connect_Click(); // the profile manager
    void menu_config_Click();

public:
    // ProfileHost: what the profile manager hands over.
    void setConnectionFields(const ProfileConnection &connection) override;
    void setActiveMode(bool active) override;
    void runConnect(const QString &startFolder) override;
    // ConfigHost: the settings record the configuration window edits.
    Settings &settings() override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createQuickConnectBar(QWidget *central);
    void createPanes(QWidget *central);
    void createToolbar(QWidget *central);
    void createStatusBar(QWidget *central);
    void createMenus();
    void wireMenus();
    void wireViewModes(Side side, const QString &barPrefix, const QString &popupPrefix);
    void attachPopup(QWidget *control, const QString &popupName);
    void onConnect(const QString &name, void (formmain::*slot)());
    void createLog();
    void showLogRuns(qsizetype first);
    void showWholeLog();
    void createColumns();
    void load();
    void layOut();
    void applyLayout();
    void sizeStatusPanels();
    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;
    template <class Window> void showSingle(QPointer<Window> &window);

    AppState &m_state;
    std::unique_ptr<Prompter> m_prompter;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
    QList<QLabel *> m_panels;
    Padlock *m_padlock = nullptr;
    QWidget *m_quickConnect = nullptr;
    PaneLayout m_layout = PaneLayout::start(PaneLayout::MinimumWidth, PaneLayout::MinimumHeight);
    std::unique_ptr<FileIconCache> m_icons;
    SessionLog *m_log = nullptr;
    MainWindowParts m_parts;
    LogFileWriter *m_logWriter = nullptr;
    std::unique_ptr<LogCommands> m_logCommands;
    QPointer<formnews> m_news;
    QPointer<formabout> m_about;
    ToolWindows *m_tools = nullptr;
    QPointer<formprofiles> m_profiles;
    QPointer<formconfig> m_config;
};
