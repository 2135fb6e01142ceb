#pragma once

#include <QHash>
#include <QList>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The main window's menu bar and popups as data: names, captions, shortcuts, order.
struct MenuItem
{
    QString name;
    QString caption; // "-" is a separator
    QString shortcut = {};
    QList<MenuItem> children = {};
};

struct PopupMenu
{
    QString name;
    QString caption;
    QString control;
    QList<MenuItem> items;
};

namespace MainMenus {

QList<MenuItem> menuBar();
QList<PopupMenu> popups();
// The 25 commands that are enabled only while connected.
const QStringList &connectionCommands();

// Creates the menus under `bar` and the popups as hidden top-level menus owned by `owner`;
// every item (separators and submenus included) is recorded by name in `items`.
void build(QMenuBar *bar, QWidget *owner, QHash<QString, QAction *> &items, QHash<QString, QMenu *> &menus);

} // namespace MainMenus
