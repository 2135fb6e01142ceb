#pragma once

#include "RemoteSession.h"
#include "FtpTypes.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class RemoteSession;

// Where an upload goes while it is sent: a temporary name of its own in the target's folder,
// renamed onto the target once the whole file is there, so that a failed or stopped upload never
// costs the server's copy. A server that refuses the first temporary name is offered others; only
// when it refuses them all (or the rename) does the file go straight under the target's name, and
// over an existing file only with the user's consent, since a failure then loses the server's copy.
class FtpUploadTarget
{
public:
    using Note = std::function<void(const QString &text)>; // a line for the session log
    // Asked, with the risk in words, before a file the server holds is replaced in place; true to
    // go ahead. Without one, such an upload fails and the server's file stays.
    using Consent = std::function<bool(const QString &question)>;
    enum class Placed { Yes, Refused, Unconfirmed };

    // identity names the content sent (see stablePart); without one the names are this upload's own.
    FtpUploadTarget(RemoteSession &session, const QString &remotePath, FtpTransferType type, Note note,
                    Consent consent = {}, const QString &identity = {});
    FtpUploadTarget(const FtpUploadTarget &) = delete;
    FtpUploadTarget &operator=(const FtpUploadTarget &) = delete;

    // The temporary names in the order tried: hidden, the same without the dot, and a short one
    // for servers that want short names. random makes them this upload's own.
    static QStringList temporaryNames(const QString &remotePath, const QString &random);
    static QString randomPart();
    // The same twelve letters and digits for the same content and target each time, so that a later
    // attempt finds what an earlier one left; other content gets other names.
    static QString stablePart(const QString &identity, const QString &remotePath);
    QString temporaryPath() const { return m_names.value(m_tried); }

    // STOR under the first temporary name only (a refusal may be for want of the folders); from
    // byte offset on, to continue what an earlier attempt left there.
    std::unique_ptr<RemoteFile> openFirst(qint64 offset = 0);
    // Each temporary name in turn while the server refuses them as names; then the target's own
    // name, as the last resort.
    std::unique_ptr<RemoteFile> open();
    // Straight under the target's own name; over an existing file only with consent.
    std::unique_ptr<RemoteFile> openDirect();
    // Whether the last open failed because the user would not have the file replaced in place.
    bool declined() const { return m_declined; }
    // After a complete transfer of sentBytes: the temporary file becomes the target, which must
    // then hold what was sent. Refused: the server would not rename (openDirect() may send it
    // again). Unconfirmed: the server says it renamed, but the target does not show it.
    Placed place(qint64 sentBytes);
    // Always last: a temporary file that is not needed any more is deleted, or named in the log.
    void end();

private:
    enum class State { Idle, Temporary, Unplaced, Unconfirmed, Placed, Direct };
    enum class Why { NamesRefused, RenameRefused };

    bool usable() const;
    bool nameRefused() const;
    std::unique_ptr<RemoteFile> store(const QString &path, State state, qint64 offset = 0);
    bool rename();
    bool replaceAside();
    Placed confirm(qint64 expected);
    bool mayReplace(const QString &why);

    QPointer<RemoteSession> m_session;
    QString m_path;
    QStringList m_names;
    qsizetype m_tried = 0;
    FtpTransferType m_type;
    Note m_note;
    Consent m_consent;
    State m_state = State::Idle;
    Why m_why = Why::NamesRefused;
    bool m_leftOver = false; // the temporary file exists on the server
    bool m_declined = false;
};
