#include "AppFolders.h"

#include "Paths.h"

#include <QCoreApplication>
#include <QDir>

AppFolders AppFolders::locate()
{
    const QString home = qEnvironmentVariable("VESTRIGAL_HOME");
    return under(home.isEmpty() ? QCoreApplication::applicationDirPath() : home);
}

AppFolders AppFolders::under(const QString &appFolder)
{
    AppFolders f;
    f.app = Paths::asFolder(QDir(appFolder).absolutePath());
    f.logs = f.app + QStringLiteral("logs/");
    f.profiles = f.app + QStringLiteral("profiles/");
    f.temp = f.app + QStringLiteral("temp/");
    f.helpFile = f.app + QStringLiteral("help/help.dat");
    return f;
}

bool AppFolders::createMissing() const
{
    bool ok = true;
    for (const QString &folder : {logs, profiles, temp})
        ok = QDir().mkpath(folder) && ok;
    return ok;
}
