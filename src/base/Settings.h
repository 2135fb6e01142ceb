#pragma once

#include <QString>
#include <QStringList>

// The settings record: edited by the configuration window for the rest of the run, never saved.
struct Settings
{
    enum TransferType : quint8 { Auto = 0, Ascii = 1, Binary = 2 };

    quint8 downloadType = Auto;
    quint8 uploadType = Auto;
    qint32 downloadBufferSize = 1024;
    qint32 uploadBufferSize = 1024;
    qint32 simultaneousTransfers = 2; // queue entries moved at once, each on a connection of its own; 1 = in turn
    qint32 transferRetries = 3;       // further attempts after a transient failure; 0 = none
    QStringList asciiExtensions = defaultAsciiExtensions();
    bool keepLog = true;
    qint16 logFormat = 1; // 1 = RTF, 0 = plain text
    QString logPath;      // folder of the log files, ends with "/"
    quint8 fileExists = 0; // a transfer onto an existing file: 0 asks, else the answer given (as in the question)

    // The choices for fileExists, in its order: the question's answers after Ask, Skip last.
    static QStringList fileExistsTexts()
    {
        return {QStringLiteral("Ask"),
                QStringLiteral("Overwrite"),
                QStringLiteral("Overwrite if the source is newer"),
                QStringLiteral("Overwrite if the size differs"),
                QStringLiteral("Resume"),
                QStringLiteral("Rename"),
                QStringLiteral("Skip")};
    }

    static QStringList defaultAsciiExtensions()
    {
        return {QStringLiteral("html"), QStringLiteral("php"),  QStringLiteral("shtml"), QStringLiteral("php3"),
                QStringLiteral("pl"),   QStringLiteral("rtf"),  QStringLiteral("dhtml"), QStringLiteral("htm"),
                QStringLiteral("asp"),  QStringLiteral("aspx"), QStringLiteral("frm"),   QStringLiteral("xml"),
                QStringLiteral("txt"),  QStringLiteral("js"),   QStringLiteral("vbs")};
    }
};
