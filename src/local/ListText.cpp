#include "ListText.h"

#include <QTextLayout>

namespace {

// The name laid out at the width, wrapped between words where it can and anywhere else where it
// must; false in `fits` when it needs more than maxLines lines.
QStringList wrapped(const QString &text, const QFont &font, int width, int maxLines, bool &fits)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    fits = true;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines) {
            fits = false;
            break;
        }
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

} // namespace

QString ListText::sizeText(qint64 bytes)
{
    QString digits = QString::number(bytes < 0 ? 0 : bytes);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    return digits;
}

QString ListText::dateText(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("-");
    // Built by hand: a listing formats one date per row and QDateTime::toString is slow.
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::asprintf("%d/%d/%d %d:%02d:%02d", d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second());
}

QDateTime ListText::dateOf(const QString &text)
{
    return QDateTime::fromString(text, QStringLiteral("d/M/yyyy H:mm:ss"));
}

QStringList ListText::nameLines(const QString &name, const QFont &font, int width, int maxLines)
{
    bool fits = true;
    QStringList lines = wrapped(name, font, width, maxLines, fits);
    if (fits)
        return lines;
    // The most characters, taken alike from both ends around an ellipsis, that still fit.
    int low = 0;
    int high = int(name.size()) - 1;
    while (low < high) {
        const int keep = (low + high + 1) / 2;
        const QString shortened = name.left(keep - keep / 2) + QChar(0x2026) + name.right(keep / 2);
        wrapped(shortened, font, width, maxLines, fits);
        if (fits)
            low = keep;
        else
            high = keep - 1;
    }
    return wrapped(name.left(low - low / 2) + QChar(0x2026) + name.right(low / 2), font, width, maxLines, fits);
}
