#pragma once

#include "Settings.h"

#include <QString>
#include <QStringList>
#include <optional>

// The configuration window's controls as values: what it shows and what OK checks and stores.
struct ConfigForm
{
    quint8 downloadType = Settings::Auto;
    quint8 uploadType = Settings::Auto;
    QString down; // buffer sizes as typed
    QString up;
    QString simultaneous;   // simultaneous transfers as typed
    QString retries;        // as typed
    QStringList extensions; // the list's rows, in order
    QString logPath;
    bool keepLog = true;
    bool rtf = true;
    quint8 fileExists = 0; // the index in the "If the file exists" list

    static ConfigForm fromSettings(const Settings &settings);
};

namespace ConfigChecks {

constexpr qint32 MinBufferSize = 10;
constexpr qint32 MaxBufferSize = 1670000;
constexpr qint32 MinSimultaneousTransfers = 1;
constexpr qint32 MaxSimultaneousTransfers = 10;
constexpr qint32 MinRetries = 0;
constexpr qint32 MaxRetries = 10;

// A number as the user may type it: in the C locale or in the user's own; blanks around it allowed.
std::optional<double> number(const QString &text);
// The message for a buffer size that will not do ("Download" or "Upload"); empty when it will.
QString bufferProblem(const QString &text, const QString &which);
// The message for a number of simultaneous transfers that will not do; empty when it will.
QString simultaneousProblem(const QString &text);
QString retriesProblem(const QString &text);
// Whether a log path names a folder that is there or can be made: absolute, no control characters.
bool logPathValid(const QString &path);
// Checks the form in order and stores it into `settings`: the first problem's message, with
// nothing stored, or empty. A missing log folder is made here, so the log can be written to it.
QString store(const ConfigForm &form, Settings &settings);

// The extension `typed` adds to the list, without a leading dot; nothing, with `message` set,
// when it is empty or already there.
std::optional<QString> extensionToAdd(const QString &typed, const QStringList &existing, QString *message);

} // namespace ConfigChecks
