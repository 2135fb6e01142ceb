#include "ConfigChecks.h"

#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>

ConfigForm ConfigForm::fromSettings(const Settings &s)
{
    return {s.downloadType,
            s.uploadType,
            QString::number(s.downloadBufferSize),
            QString::number(s.uploadBufferSize),
            QString::number(s.simultaneousTransfers),
            QString::number(s.transferRetries),
            s.asciiExtensions,
            s.logPath,
            s.keepLog,
            s.logFormat != 0,
            s.fileExists};
}

namespace ConfigChecks {

std::optional<double> number(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(t, &ok);
    if (!ok)
        value = QLocale().toDouble(t, &ok); // the user's own
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

// The message for a whole number typed for `what` that is no number or lies outside [min, max].
QString rangeProblem(const QString &text, const QString &what, qint32 min, qint32 max)
{
    const auto value = number(text);
    if (!value)
        return what + QStringLiteral(" must be an integer.");
    if (!(*value >= min && *value <= max))
        return what + QStringLiteral(" must be between %1 and %2.").arg(min).arg(max);
    return {};
}

} // namespace

QString bufferProblem(const QString &text, const QString &which)
{
    return rangeProblem(text, which + QStringLiteral(" buffer size"), MinBufferSize, MaxBufferSize);
}

QString simultaneousProblem(const QString &text)
{
    return rangeProblem(text, QStringLiteral("Simultaneous transfers"), MinSimultaneousTransfers,
                        MaxSimultaneousTransfers);
}

QString retriesProblem(const QString &text)
{
    return rangeProblem(text, QStringLiteral("Retries"), MinRetries, MaxRetries);
}

bool logPathValid(const QString &path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path) ||
        std::any_of(path.begin(), path.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return false;
    // The folder itself, or the nearest folder above it that is there and can take a new one.
    QFileInfo info(path);
    if (info.exists())
        return info.isDir();
    QString above = QFileInfo(QDir::cleanPath(path)).path();
    while (!QFileInfo::exists(above) && above != QLatin1String("/"))
        above = QFileInfo(above).path();
    return QFileInfo(above).isDir() && QFileInfo(above).isWritable();
}

QString store(const ConfigForm &form, Settings &settings)
{
    if (QString problem = bufferProblem(form.down, QStringLiteral("Download")); !problem.isEmpty())
        return problem;
    if (QString problem = bufferProblem(form.up, QStringLiteral("Upload")); !problem.isEmpty())
        return problem;
    if (QString problem = simultaneousProblem(form.simultaneous); !problem.isEmpty())
        return problem;
    if (QString problem = retriesProblem(form.retries); !problem.isEmpty())
        return problem;
    if (!logPathValid(form.logPath) || !QDir().mkpath(form.logPath))
        return QStringLiteral("Invalid log path name.");

    settings.downloadType = form.downloadType;
    settings.uploadType = form.uploadType;
    settings.downloadBufferSize = qint32(std::llround(*number(form.down)));
    settings.uploadBufferSize = qint32(std::llround(*number(form.up)));
    settings.simultaneousTransfers = qint32(std::llround(*number(form.simultaneous)));
    settings.transferRetries = qint32(std::llround(*number(form.retries)));
    settings.asciiExtensions = form.extensions.isEmpty() ? QStringList{QString()} : form.extensions;
    settings.logPath = Paths::asFolder(form.logPath);
    settings.keepLog = form.keepLog;
    settings.logFormat = form.rtf ? 1 : 0;
    settings.fileExists = form.fileExists;
    return {};
}

std::optional<QString> extensionToAdd(const QString &typed, const QStringList &existing, QString *message)
{
    QString extension = typed.trimmed();
    while (extension.startsWith(QLatin1Char('.')))
        extension.remove(0, 1);
    QString problem;
    if (extension.isEmpty())
        problem = QStringLiteral("You must enter an extension to add!");
    else if (existing.contains(extension))
        problem = QStringLiteral("This extension is already in the list.");
    if (problem.isEmpty())
        return extension;
    if (message)
        *message = problem;
    return std::nullopt;
}

} // namespace ConfigChecks
