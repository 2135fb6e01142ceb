#pragma once

#include <QString>
#include <QStringList>

namespace FtpSecrets {

// The text with every secret (a password) replaced by "********". A secret of three characters
// or more is hidden wherever it appears; a shorter one where it stands on its own (not inside a
// longer word), so that a one-letter password is hidden without garbling the rest of the text.
QString masked(QString text, const QStringList &secrets);

// A command line for the log: masked as above, and the argument of PASS always hidden (an
// anonymous login sends a password the user never typed).
QString maskedCommand(const QString &line, const QStringList &secrets);

} // namespace FtpSecrets
