#include "HelpData.h"

#include <QFile>

const QList<HelpData::Node> &HelpData::topicTree()
{
    static const QList<Node> tree = {
        {"h1", "Main", {}},
        {"h2", "Introduction", "h1"},
        {"h3", "Connecting to a host", "h1"},
        {"h4", "Quick connect", "h3"},
        {"h5", "Profile manager", "h3"},
        {"h6", "Downloading a file", "h1"},
        {"h7", "Uploading a file", "h1"},
        {"h8", "Queue", "h1"},
        {"h9", "Fields", "h8"},
        {"h10", "Operations", "h8"},
        {"h19", "Configuration", "h1"},
        {"h15", "Transfer options", "h19"},
        {"h16", "Transfer type", "h15"},
        {"h17", "Buffer size", "h15"},
        {"h18", "File types options", "h19"},
        {"h20", "Logs options", "h19"},
        {"h11", "Other commands", "h1"},
        {"h12", "Various stuff", "h11"},
        {"h13", "Tools menu", "h11"},
        {"h14", "Conclusion", {}},
    };
    return tree;
}

int HelpData::topicNumber(const QString &key)
{
    return key.mid(1).toInt();
}

HelpData::Topic HelpData::topicFrom(const QString &contents, int number, const QString &fileLabel)
{
    const QString open = QStringLiteral("<topic id = %1>").arg(number);
    const qsizetype start = contents.indexOf(open);
    if (start < 0)
        return {false, QStringLiteral("Help topic %1 is missing from %2.").arg(number).arg(fileLabel)};
    const qsizetype from = start + open.size();
    const qsizetype end = contents.indexOf(QLatin1String("</topic>"), from);
    if (end < 0)
        return {false, QStringLiteral("Help topic %1 in %2 has no closing tag.").arg(number).arg(fileLabel)};
    return {true, contents.mid(from, end - from)};
}

HelpData::Topic HelpData::readTopic(const QString &helpFile, int number)
{
    QFile file(helpFile);
    if (!file.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("The help file help/help.dat could not be read (%1).").arg(helpFile)};
    return topicFrom(QString::fromUtf8(file.readAll()), number);
}
