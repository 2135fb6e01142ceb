#pragma once

#include <QString>

// One transfer waiting in the queue: what a row of the queue list holds, column by column.
struct QueueEntry
{
    enum class Direction { Up, Down };

    QString localPath;  // the file sent, or the file written
    QString remotePath; // begins with "/"
    Direction direction = Direction::Down;
    QString sizeText; // as shown: digits grouped by threes
    QString type;
    QString time; // "Last modified" as the source pane shows it
    QString status;
    qint64 bytes = 0; // the hidden byte count every total is computed from

    static QString directionText(Direction d)
    {
        return d == Direction::Up ? QStringLiteral("Up") : QStringLiteral("Down");
    }
    static Direction directionOf(const QString &text)
    {
        return text == QLatin1String("Down") ? Direction::Down : Direction::Up;
    }
};
