#pragma once

#include <QList>
#include <QString>

// The help viewer's data: the fixed topic tree and the topic texts of the help data file, where a
// topic stands between "<topic id = N>" and the next "</topic>".
namespace HelpData {

struct Node
{
    QString key; // "h1" ... "h20"; the topic number is the key without the "h"
    QString text;
    QString parent; // empty for a top-level node
};

// The tree in the order its nodes are added.
const QList<Node> &topicTree();

int topicNumber(const QString &key);

struct Topic
{
    bool found = false;
    QString text; // the topic, or one line saying why there is none
};

// The topic from the file's contents (exact, case-sensitive search; line breaks kept).
Topic topicFrom(const QString &contents, int number, const QString &fileLabel = QStringLiteral("help/help.dat"));
// Reads the file again and takes the topic from it.
Topic readTopic(const QString &helpFile, int number);

} // namespace HelpData
