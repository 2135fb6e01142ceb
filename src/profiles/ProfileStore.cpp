#include "ProfileStore.h"

#include "LocalOperations.h"
#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>

namespace {

constexpr auto kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto kPrivateFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr int kMaxDepth = 64;      // a tree deeper than this is not a profile store
constexpr int kMaxNameBytes = 255; // the longest file name the common file systems take

} // namespace

ProfileStore::ProfileStore(const QString &profilesFolder) : m_root(Paths::asFolder(profilesFolder)) {}

bool ProfileStore::secureRoot() const
{
    QDir dir(m_root);
    if (!dir.exists() && !QDir().mkpath(m_root))
        return false;
    return QFile::setPermissions(m_root, kPrivateFolder);
}

QList<ProfileNode> ProfileStore::GetProfiles() const
{
    QList<ProfileNode> nodes{{m_root, QString(), QStringLiteral("Profiles"), ProfileNode::Root}};
    ListSubProfiles(m_root, nodes);
    return nodes;
}

void ProfileStore::ListSubProfiles(const QString &hdir, QList<ProfileNode> &nodes, int depth) const
{
    if (depth >= kMaxDepth)
        return;
    QFileInfoList entries =
        QDir(hdir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const int folded = a.fileName().compare(b.fileName(), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.fileName() < b.fileName();
    });
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            const QString key = hdir + name + QLatin1Char('/');
            nodes.append({key, hdir, name, ProfileNode::Folder});
            if (!entry.isSymLink()) // a link may lead back up the tree
                ListSubProfiles(key, nodes, depth + 1);
        } else if (entry.isFile() && name.size() >= 4) { // a FIFO or a device is no profile
            nodes.append({hdir + name, hdir, name.chopped(4), ProfileNode::File});
        }
    }
}

QString ProfileStore::nameProblem(const QString &name, const QString &suffix)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("The name cannot be made of blanks only.");
    if (trimmed == QLatin1String(".") || trimmed == QLatin1String(".."))
        return QStringLiteral("The names \".\" and \"..\" cannot be used.");
    if (name.contains(QLatin1Char('/')))
        return QStringLiteral("The name cannot hold the character \"/\".");
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("The name cannot hold control characters.");
    if ((name + suffix).toUtf8().size() > kMaxNameBytes)
        return QStringLiteral("The name is too long.");
    return {};
}

ProfileStore::Created ProfileStore::createProfile(const QString &folder, const QString &name) const
{
    if (name.isEmpty() || name == QLatin1String("Profiles"))
        return Created::Ignored;
    if (!nameProblem(name, QStringLiteral(".dat")).isEmpty())
        return Created::BadName;
    const QString path = Paths::asFolder(folder) + name + QStringLiteral(".dat");
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return Created::Exists;
    // New only: a file that appears meanwhile is never overwritten.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kPrivateFile))
        return QFileInfo::exists(path) ? Created::Exists : Created::Failed;
    const QByteArray bytes = ProfileFile::serialize(Profile{});
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.close();
        QFile::remove(path);
        return Created::Failed;
    }
    return Created::Done;
}

ProfileStore::Created ProfileStore::createFolder(const QString &folder, const QString &name) const
{
    if (name.isEmpty())
        return Created::Ignored;
    if (!nameProblem(name).isEmpty())
        return Created::BadName;
    return QDir().mkdir(Paths::asFolder(folder) + name, kPrivateFolder) ? Created::Done : Created::Failed;
}

ProfileStore::Saved ProfileStore::writeProfile(const QString &path, const Profile &profile) const
{
    if (ProfileFile::read(path).damaged)
        return Saved::NotAProfile;
    // Written beside the file and renamed over it, so the file is whole whatever happens;
    // the temporary file is private from the start.
    QTemporaryFile temp(QFileInfo(path).absolutePath() + QStringLiteral("/.profile-XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        return Saved::Failed;
    const QByteArray bytes = ProfileFile::serialize(profile);
    if (temp.write(bytes) != bytes.size() || !temp.flush() || !temp.setPermissions(kPrivateFile))
        return Saved::Failed;
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return Saved::Failed;
    temp.setAutoRemove(false);
    return Saved::Done;
}

bool ProfileStore::removeNode(const ProfileNode &node) const
{
    if (node.key == m_root)
        return false; // the profiles folder itself always stays
    if (remover)
        return remover(node);
    if (node.isFolder())
        return LocalOperations::RemoveLocalFolder(node.key);
    return QFile::remove(node.key);
}

bool ProfileStore::stillThere(const ProfileNode &node)
{
    const QFileInfo info(node.isFolder() ? node.key.chopped(1) : node.key);
    return info.exists() || info.isSymLink();
}

QStringList ProfileStore::removeNodes(const QList<ProfileNode> &nodes,
                                      const std::function<bool(const ProfileNode &)> &goOn) const
{
    QStringList stayed;
    for (const ProfileNode &node : nodes) {
        if (node.key == m_root || !stillThere(node)) // inside a folder deleted before it
            continue;
        if (removeNode(node))
            continue;
        stayed.append(node.text);
        if (!goOn(node))
            break;
    }
    return stayed;
}
