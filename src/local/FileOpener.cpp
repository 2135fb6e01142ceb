#include "FileOpener.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

bool startDetached(const QString &program, const QStringList &arguments, const QString &workingFolder)
{
    qint64 pid = 0;
    return QProcess::startDetached(program, arguments, workingFolder, &pid) && pid != 0;
}

} // namespace

bool DesktopFileOpener::startProgram(const QString &program, const QString &workingFolder)
{
    return startDetached(program, {}, workingFolder);
}

bool DesktopFileOpener::openWithDesktop(const QString &path)
{
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty())
        return startDetached(xdgOpen, {path}, QString());
    // The platform's handler needs a GUI application behind it.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
