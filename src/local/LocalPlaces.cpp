#include "LocalPlaces.h"

#include "LocalPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>

namespace {

QString existingOrHome(QStandardPaths::StandardLocation location)
{
    const QString path = QStandardPaths::writableLocation(location);
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return LocalPaths::asFolder(path);
    return LocalPaths::asFolder(QDir::homePath());
}

// Kernel and memory file systems: nothing a user keeps files on.
bool isPseudo(const QByteArray &type)
{
    static const QSet<QByteArray> pseudo = {
        "proc",       "sysfs",  "devtmpfs",    "devpts",  "tmpfs",    "ramfs",      "cgroup",    "cgroup2",
        "securityfs", "pstore", "debugfs",     "tracefs", "mqueue",   "hugetlbfs",  "configfs",  "fusectl",
        "bpf",        "autofs", "binfmt_misc", "nsfs",    "efivarfs", "rpc_pipefs", "selinuxfs", "squashfs"};
    return pseudo.contains(type);
}

LocalVolume::Kind kindOf(const QStorageInfo &volume)
{
    const QByteArray device = volume.device();
    if (device.startsWith("/dev/sr") || volume.fileSystemType() == "iso9660" || volume.fileSystemType() == "udf")
        return LocalVolume::Kind::Optical;
    const QString root = volume.rootPath();
    if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/")))
        return LocalVolume::Kind::Removable;
    return LocalVolume::Kind::FixedDisk;
}

} // namespace

LocalPlaces LocalPlaces::ofThisSystem()
{
    return {desktopFolder(), documentsFolder(), mountedVolumes()};
}

QString LocalPlaces::desktopFolder()
{
    return existingOrHome(QStandardPaths::DesktopLocation);
}

QString LocalPlaces::documentsFolder()
{
    return existingOrHome(QStandardPaths::DocumentsLocation);
}

QList<LocalVolume> LocalPlaces::mountedVolumes()
{
    QList<LocalVolume> volumes{{QStringLiteral("/"), LocalVolume::Kind::FixedDisk}};
    QSet<QString> seen{QStringLiteral("/")};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = LocalPaths::asFolder(volume.rootPath());
        if (!volume.isValid() || !volume.isReady() || isPseudo(volume.fileSystemType()) || volume.bytesTotal() <= 0 ||
            seen.contains(root))
            continue;
        seen.insert(root);
        volumes.append({root, kindOf(volume)});
    }
    std::sort(volumes.begin() + 1, volumes.end(),
              [](const LocalVolume &a, const LocalVolume &b) { return a.root < b.root; });
    return volumes;
}
