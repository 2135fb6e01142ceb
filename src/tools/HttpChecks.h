#pragma once

#include <QString>
#include <QUrl>

// The checks of the HTTP download manager's two fields.
namespace HttpChecks {

// An absolute path of this system naming a file (not a folder), without control characters,
// without * ? " < > | and without the other separator "\".
bool validLocalName(const QString &path);
// "http://" or "https://", a host, an optional port, and a "/" after them; none of * \ " ? < > |
// and no control characters. The parsed address, or an invalid QUrl.
QUrl parseRemote(const QString &text);

} // namespace HttpChecks
