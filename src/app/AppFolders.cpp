#include "AppFolders.h"

#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppFolders AppFolders::locate()
{
    const QString home = qEnvironmentVariable("VESTRIGAL_HOME");
    if (!home.isEmpty())
        return under(home);
    return forProgramIn(QCoreApplication::applicationDirPath(),
                        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

AppFolders AppFolders::forProgramIn(const QString &programFolder, const QString &dataHome)
{
    const QString installedHelp = QDir::cleanPath(programFolder + QStringLiteral("/../share/vestrigal/help/help.dat"));
    const bool besideProgram = QFileInfo::exists(programFolder + QStringLiteral("/help/help.dat"));
    if (besideProgram || !QFileInfo::exists(installedHelp) || dataHome.isEmpty())
        return under(programFolder);
    AppFolders f = under(dataHome + QStringLiteral("/vestrigal"));
    f.helpFile = installedHelp;
    return f;
}

AppFolders AppFolders::under(const QString &appFolder)
{
    AppFolders f;
    f.app = Paths::asFolder(QDir(appFolder).absolutePath());
    f.logs = f.app + QStringLiteral("logs/");
    f.profiles = f.app + QStringLiteral("profiles/");
    f.temp = f.app + QStringLiteral("temp/");
    f.helpFile = f.app + QStringLiteral("help/help.dat");
    f.queueFile = f.app + QStringLiteral("queue.sqlite");
    return f;
}

bool AppFolders::createMissing() const
{
    bool ok = true;
    for (const QString &folder : {logs, profiles, temp})
        ok = QDir().mkpath(folder) && ok;
    return ok;
}
