#pragma once

#include "FtpFile.h"
#include "FtpTypes.h"

#include <QString>
#include <functional>
#include <memory>

class FtpSession;

// Where an upload goes while it is sent: a temporary name in the target's folder, renamed onto the
// target once the whole file is there, so that a failed or stopped upload never costs the server's
// copy. Where the server will not rename over an existing file, the old one is deleted just before
// the rename. A server that refuses the temporary name or the rename gets the plain way (store
// under the real name), and the log says so.
class FtpUploadTarget
{
public:
    using Note = std::function<void(const QString &text)>; // a line for the session log

    FtpUploadTarget(FtpSession &session, const QString &remotePath, FtpTransferType type, Note note);
    FtpUploadTarget(const FtpUploadTarget &) = delete;
    FtpUploadTarget &operator=(const FtpUploadTarget &) = delete;

    static QString temporaryPath(const QString &remotePath);

    // STOR under the temporary name.
    std::unique_ptr<FtpFile> open();
    // Whether a failed open() was the server refusing the name, so that the plain way may work.
    bool nameRefused() const;
    // The plain way: STOR under the target's own name.
    std::unique_ptr<FtpFile> openDirect();
    // After a complete transfer: the temporary file becomes the target. False when the server would
    // not rename it; the upload then has to be sent again with openDirect().
    bool place();
    // Always last: sent tells whether the file reached the target. A temporary file that is not
    // needed any more is deleted; one that holds the only complete copy is kept and named in the log.
    void end(bool sent);

private:
    enum class State { Idle, Temporary, Unplaced, Placed, Direct };

    bool usable() const;

    FtpSession &m_session;
    QString m_path;
    QString m_temporary;
    FtpTransferType m_type;
    Note m_note;
    State m_state = State::Idle;
    bool m_unplaced = false; // a complete copy waits under the temporary name
};
