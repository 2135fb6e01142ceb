#include "MainMenus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {

MenuItem sep(const QString &name)
{
    return {name, QStringLiteral("-")};
}

QList<MenuItem> viewModes(const QString &prefix)
{
    return {{prefix + QStringLiteral("lvwreport"), QStringLiteral("Detailled list")},
            {prefix + QStringLiteral("lvwsmallicons"), QStringLiteral("Small icons")},
            {prefix + QStringLiteral("lvwicons"), QStringLiteral("Icons")},
            {prefix + QStringLiteral("lvwlist"), QStringLiteral("List")}};
}

QList<MenuItem> filters(const QString &all, const QString &custom)
{
    return {{all, QStringLiteral("Show all (*.*)")}, {custom, QStringLiteral("Show custom (*.?)")}};
}

void addItems(QMenu *menu, const QList<MenuItem> &items, QHash<QString, QAction *> &actions,
              QHash<QString, QMenu *> &menus)
{
    for (const MenuItem &item : items) {
        QAction *action = nullptr;
        if (item.caption == QLatin1String("-")) {
            action = menu->addSeparator();
        } else if (!item.children.isEmpty()) {
            QMenu *sub = menu->addMenu(item.caption);
            sub->setObjectName(item.name);
            menus.insert(item.name, sub);
            addItems(sub, item.children, actions, menus);
            action = sub->menuAction();
        } else {
            action = menu->addAction(item.caption);
            if (!item.shortcut.isEmpty())
                action->setShortcut(QKeySequence(item.shortcut));
        }
        action->setObjectName(item.name);
        actions.insert(item.name, action);
    }
}

} // namespace

QList<MenuItem> MainMenus::menuBar()
{
    return {
        {"menu_File",
         "&File",
         {},
         {{"menu_connect", "Profile manager"},
          {"menu_qconnect", "Quick connect"},
          {"menu_disconnect", "Disconnect"},
          sep("sep1"),
          {"menu_exit", "Exit"}}},
        {"menu_edit",
         "&Edit",
         {},
         {{"menu_copy", "Copy", "Ctrl+C"}, {"menu_cut", "Cut", "Ctrl+X"}, {"menu_paste", "Paste", "Ctrl+V"}}},
        {"menu_view",
         "&View",
         {},
         {{"menu_refresh",
           "Refresh",
           {},
           {{"menu_refresh_client", "Client files area", "F6"}, {"menu_refresh_server", "Server files area", "F5"}}},
          {"menu_extensions",
           "File extensions",
           {},
           {{"menu_eserver", "Server", {}, filters("menu_showall_server", "menu_showcustom_server")},
            {"menu_eclient", "Client", {}, filters("menu_showall_client", "menu_showcustom_client")}}},
          {"menu_icons",
           "List icons",
           {},
           {{"menu_iclient", "Client", {}, viewModes("menu_client_")},
            {"menu_iserver", "Server", {}, viewModes("menu_server_")}}},
          {"menu_cmdclear", "Clear FTP window"}}},
        {"menu_operations",
         "&Operations",
         {},
         {{"menu_download", "Download"},
          {"menu_upload", "Upload"},
          sep("sep14"),
          {"menu_cfiles",
           "Client files",
           {},
           {{"menu_exec", "Execute"},
            {"menu_cdelete", "Delete"},
            {"menu_crename", "Rename"},
            {"menu_cmkdir", "Create directory"}}},
          {"menu_sfiles",
           "Server files",
           {},
           {{"menu_sview", "View"},
            {"menu_sdelete", "Delete"},
            {"menu_srename", "Rename"},
            {"menu_smkdir", "Create directory"}}}}},
        {"menu_queue",
         "&Queue",
         {},
         {{"menu_pause", "Pause", "Ctrl+P"},
          {"menu_resume", "Resume", "Ctrl+R"},
          sep("sep2"),
          {"menu_cancel", "Cancel selected"},
          {"menu_clear", "Clear"}}},
        {"menu_logs",
         "&Logs",
         {},
         {{"menu_newlog", "Start new log"},
          {"menu_contlog", "Continue previous log"},
          {"menu_clearlog", "Clear all logs"},
          sep("sep21"),
          {"menu_rtf", "Use RTF format"},
          {"menu_txt", "Use text format"}}},
        {"menu_tools",
         "&Tools",
         {},
         {{"menu_temp", "Browse temporary files"},
          {"menu_cmd", "Send FTP command"},
          {"menu_pass", "Change password"},
          {"menu_telnet", "Telnet client", "Ctrl+N"},
          {"menu_http", "HTTP download manager"},
          {"menu_calc", "Calculator"},
          sep("sep19"),
          {"menu_config", "Configuration..."}}},
        {"menu_help",
         "&Help",
         {},
         {{"menu_gohelp", "Help"}, sep("sep17"), {"menu_news", "What's new?"}, {"menu_about", "About"}}},
    };
}

QList<PopupMenu> MainMenus::popups()
{
    return {
        {"menu_ListView1Custom",
         "ListView1Custom",
         "ListView1",
         {{"menu1_sview", "View"},
          sep("sep10"),
          {"menu1_delete", "Delete"},
          {"menu1_rename", "Rename"},
          {"menu1_mkdir", "Create directory"},
          sep("sep13"),
          {"menu1_files", "File extensions", {}, filters("menu1_showall", "menu1_showcustom")},
          {"menu1_view", "View", {}, viewModes("menu1_")},
          {"menu1_copy", "Copy link"},
          sep("sep5"),
          {"menu1_download", "Download"}}},
        {"menu_File1Custom",
         "File1Custom",
         "ListView3",
         {{"menu2_open", "Open"},
          sep("sep8"),
          {"menu2_delete", "Delete"},
          {"menu2_rename", "Rename"},
          {"menu2_mkdir", "Create Directory"},
          sep("sep12"),
          {"menu2_extensions", "File extensions", {}, filters("menu2_showall", "menu2_showcustom")},
          {"menu2_view", "View", {}, viewModes("menu2_")},
          {"menu2_copy", "Copy link"},
          sep("sep6"),
          {"menu2_upload", "Upload"}}},
        {"menu_ListView2Custom",
         "ListView2Custom",
         "ListView2",
         {{"menu3_pause", "Pause"},
          {"menu3_resume", "Resume"},
          sep("sep7"),
          {"menu3_cancel", "Cancel"},
          {"menu3_clear", "Clear"}}},
        {"menu_Rich1Custom",
         "Rich1Custom",
         "RichTextBox1",
         {{"menu4_copy", "Copy window to clipboard"},
          {"menu4_clear", "Clear window"},
          sep("sep11"),
          {"menu4_save", "Save window as..."},
          {"menu4_load", "Load window"},
          sep("sep18"),
          {"menu4_cmd", "Send FTP command"}}},
        {"menu_TreeView1Custom",
         "TreeView1Custom",
         "TreeView1",
         {{"menu5_delete", "Delete"},
          {"menu5_rename", "Rename"},
          {"menu5_mkdir", "Create directory"},
          sep("sep15"),
          {"menu5_upload", "Upload"}}},
        {"menu_TreeView2Custom",
         "TreeView2Custom",
         "TreeView2",
         {{"menu6_delete", "Delete"},
          {"menu6_rename", "Rename"},
          {"menu6_mkdir", "Create Directory"},
          sep("sep16"),
          {"menu6_download", "Download"}}},
    };
}

const QStringList &MainMenus::connectionCommands()
{
    static const QStringList names = {
        "menu_upload",   "menu_download",       "menu_sdelete",        "menu_srename",
        "menu_smkdir",   "menu_refresh_server", "menu_showall_server", "menu_showcustom_server",
        "menu_cmd",      "menu_sview",          "menu1_download",      "menu1_delete",
        "menu1_rename",  "menu1_mkdir",         "menu1_showall",       "menu1_showcustom",
        "menu2_upload",  "menu4_cmd",           "menu1_sview",         "menu_pass",
        "menu5_upload",  "menu6_delete",        "menu6_rename",        "menu6_mkdir",
        "menu6_download"};
    return names;
}

void MainMenus::build(QMenuBar *bar, QWidget *owner, QHash<QString, QAction *> &items, QHash<QString, QMenu *> &menus)
{
    for (const MenuItem &top : menuBar()) {
        QMenu *menu = bar->addMenu(top.caption);
        menu->setObjectName(top.name);
        menu->menuAction()->setObjectName(top.name);
        menus.insert(top.name, menu);
        addItems(menu, top.children, items, menus);
    }
    for (const PopupMenu &popup : popups()) {
        auto *menu = new QMenu(popup.caption, owner);
        menu->setObjectName(popup.name);
        menus.insert(popup.name, menu);
        addItems(menu, popup.items, items, menus);
    }
}
