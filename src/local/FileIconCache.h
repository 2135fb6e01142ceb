#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

// The small icon of every listed row (local list, remote list, temporary files), looked up once per
// extension in the MIME database and the icon theme, then served from memory: after the first file of a
// type, a row costs a hash lookup. Every answer is a non-null icon.
// Owned by whoever owns the lists; its icons must not outlive the application object.
class FileIconCache
{
public:
    QIcon fileIcon(const QString &fileName);
    QIcon folderIcon();
    QIcon linkIcon(); // a symbolic link on the server: a look of its own

    // How often the MIME database and the theme were consulted: once per extension, once for folders.
    int lookups() const { return m_lookups; }

private:
    QIcon lookUp(const QString &extension);
    QIcon themed(const QStringList &names);

    QHash<QString, QIcon> m_byExtension;
    QHash<QString, QIcon> m_byIconName; // extensions of one type share one icon
    QIcon m_folder;
    QIcon m_link;
    int m_lookups = 0;
};

// Gives the program an icon theme where the platform names none (no desktop, offscreen): Adwaita,
// searched for in the system's icon folders. A desktop's own theme is kept. Safe to call again.
void setUpIconTheme();
