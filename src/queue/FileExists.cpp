#include "FileExists.h"

#include "ListText.h"
#include "Settings.h"

namespace FileExists {

namespace {

// Listings show seconds at best: finer differences say nothing about which file is newer.
bool newer(const QDateTime &a, const QDateTime &b)
{
    return a.isValid() && b.isValid() && a.toSecsSinceEpoch() > b.toSecsSinceEpoch();
}

QString factsText(const Facts &facts)
{
    const QString size = facts.size < 0 ? QStringLiteral("unknown size") : ListText::sizeText(facts.size) + " bytes";
    return facts.time.isValid() ? size + QStringLiteral(", ") + ListText::dateText(facts.time) : size;
}

} // namespace

Decision decide(Action action, const Facts &source, const Facts &target, bool resumable, const QString &targetPath,
                const Taken &taken)
{
    using Kind = Decision::Kind;
    const auto just = [](Kind kind) { return Decision{kind, 0, {}}; };
    switch (action) {
    case Action::OverwriteIfNewer:
        return just(newer(source.time, target.time) ? Kind::Overwrite : Kind::Skip);
    case Action::OverwriteIfSizeDiffers:
        return just(source.size >= 0 && source.size == target.size ? Kind::Skip : Kind::Overwrite);
    case Action::Resume:
        if (!resumable || target.size <= 0 || source.size < 0)
            return just(Kind::Overwrite);
        // A target as long as the source or longer has nothing left to receive.
        return target.size < source.size ? Decision{Kind::Resume, target.size, {}} : just(Kind::Skip);
    case Action::Rename:
        return {Kind::Rename, 0, freeName(targetPath, taken)};
    case Action::Overwrite:
        return just(Kind::Overwrite);
    case Action::Ask:
    case Action::Skip:
        break;
    }
    return just(Kind::Skip);
}

QString freeName(const QString &path, const Taken &taken)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.left(dot).endsWith(QLatin1String(".tar"), Qt::CaseInsensitive) && dot > 4)
        dot -= 4;
    const qsizetype stem = slash + 1 + (dot > 0 ? dot : name.size());
    for (int n = 1;; ++n) {
        const QString candidate = path.left(stem) + QStringLiteral(" (%1)").arg(n) + path.mid(stem);
        if (!taken(candidate))
            return candidate;
    }
}

QStringList answerTexts()
{
    return Settings::fileExistsTexts().mid(1);
}

QString checkText()
{
    return QStringLiteral("Apply to the rest of this queue");
}

QString question(const QString &path, const Facts &source, const Facts &target)
{
    return QStringLiteral("%1 exists already.\n\nThe file there: %2\nThe file transferred: %3")
        .arg(path, factsText(target), factsText(source));
}

} // namespace FileExists
