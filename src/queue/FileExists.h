#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// A transfer whose target is there already: what the user's answer (or the setting) makes of it,
// given what is known of both files.
namespace FileExists {

// The setting's values: Ask, then the question's answers in the order of its buttons.
enum class Action : quint8 { Ask, Overwrite, OverwriteIfNewer, OverwriteIfSizeDiffers, Resume, Rename, Skip };

struct Facts
{
    qint64 size = -1; // -1: unknown
    QDateTime time;   // invalid: unknown
};

struct Decision
{
    enum class Kind { Overwrite, Resume, Rename, Skip };
    Kind kind = Kind::Skip;
    qint64 from = 0; // Resume: the target's bytes that stay
    QString path;    // Rename: where the file goes instead
};

using Taken = std::function<bool(const QString &path)>;

// What the transfer of source onto the existing target does (action is not Ask). resumable: the
// transfer can continue a file (binary). Unknown facts never count as proof: "if newer" keeps the
// target unless the source is known to be newer, "if the size differs" replaces it unless both
// sizes are known and equal, and Resume replaces a target it cannot show to be a shorter start.
Decision decide(Action action, const Facts &source, const Facts &target, bool resumable, const QString &targetPath,
                const Taken &taken);

// The first of "name (1).ext", "name (2).ext", ... in path's folder that is not taken. The
// extension is the last suffix ("a.tar.gz" counts ".tar.gz" as one); a name that only begins with
// a dot (".hidden") or has none gets the number at its end.
QString freeName(const QString &path, const Taken &taken);

// The question's buttons, Skip last (the way out); button i is Action(i + 1).
QStringList answerTexts();
QString checkText();
QString question(const QString &path, const Facts &source, const Facts &target);

} // namespace FileExists
