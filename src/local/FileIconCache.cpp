#include "FileIconCache.h"

#include "variousFunctions.h"

#include <QGuiApplication>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace {

constexpr qsizetype RememberedExtensions = 4096;

// The last resort when the theme has not even its generic icons: a plain page or folder.
QIcon drawnIcon(bool folder)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QIcon();
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(folder ? QColor(232, 192, 96) : QColor(Qt::white));
    if (folder)
        painter.drawRect(1, 4, 13, 10);
    else
        painter.drawRect(3, 1, 10, 13);
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

} // namespace

QIcon FileIconCache::fileIcon(const QString &fileName)
{
    const QString extension = variousFunctions::GetFileExtension(fileName);
    const auto found = m_byExtension.constFind(extension);
    if (found != m_byExtension.cend())
        return *found;
    if (m_byExtension.size() >= RememberedExtensions)
        m_byExtension.clear();
    return *m_byExtension.insert(extension, lookUp(extension));
}

QIcon FileIconCache::folderIcon()
{
    if (m_folder.isNull()) {
        ++m_lookups;
        m_folder = themed({QStringLiteral("folder")});
        if (m_folder.isNull())
            m_folder = drawnIcon(true);
    }
    return m_folder;
}

QIcon FileIconCache::linkIcon()
{
    if (m_link.isNull()) {
        ++m_lookups;
        m_link = themed({QStringLiteral("emblem-symbolic-link"), QStringLiteral("inode-symlink")});
        if (m_link.isNull())
            m_link = folderIcon();
    }
    return m_link;
}

QIcon FileIconCache::lookUp(const QString &extension)
{
    ++m_lookups;
    const QMimeDatabase db;
    const QMimeType type = extension.isEmpty()
                               ? db.mimeTypeForName(QStringLiteral("application/octet-stream"))
                               : db.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    const auto shared = m_byIconName.constFind(type.iconName());
    if (shared != m_byIconName.cend())
        return *shared;
    QIcon icon = themed({type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic")});
    if (icon.isNull())
        icon = drawnIcon(false);
    m_byIconName.insert(type.iconName(), icon);
    return icon;
}

QIcon FileIconCache::themed(const QStringList &names)
{
    for (const QString &name : names) {
        if (name.isEmpty())
            continue;
        const QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull())
            return icon;
    }
    return QIcon();
}

void setUpIconTheme()
{
    QStringList paths = QIcon::themeSearchPaths();
    QStringList wanted = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                   QStandardPaths::LocateDirectory);
    wanted << QStringLiteral("/usr/share/icons");
    for (const QString &folder : wanted) {
        if (!paths.contains(folder))
            paths << folder;
    }
    if (paths != QIcon::themeSearchPaths())
        QIcon::setThemeSearchPaths(paths);
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}
