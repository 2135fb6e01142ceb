#pragma once

#include "RemoteSession.h"

#include <QPointer>
#include <deque>
#include <vector>

#include <libssh/sftp.h>

class SftpSession;
class SshLink;

// A remote file of an SFTP session. Reads keep several requests on the way (libssh's
// asynchronous reads), so that the wire stays busy while a block is being written locally;
// writes gather into large blocks, each one request. Binary only.
class SftpFile : public RemoteFile
{
    Q_OBJECT
public:
    ~SftpFile() override; // closes, ignoring the result

    qint64 read(char *buffer, qint64 maxSize) override;
    qint64 write(const char *data, qint64 size) override;
    bool close() override;
    void abort() override;
    void setExpectedSize(qint64 size) override { m_expected = size; }
    qint64 bytesOnWire() const override { return m_moved; }
    qint64 offset() const override { return m_offset; }
    qint64 announcedSize() const override { return m_announced; }
    bool isOpen() const override { return m_handle && m_session; }
    Mode mode() const override { return m_mode; }
    FtpTransferType type() const override { return FtpTransferType::Binary; }

    void detach();               // the session closed: every later call fails
    void release(SshLink &link); // frees the handle; the link's socket is cut, no call runs

    // Every server takes requests of 32 KiB; OpenSSH's take up to 256 KiB with their headers, and
    // fewer, larger requests cost both sides less. Reads keep about 2 MiB on the way.
    static constexpr quint32 SmallBlock = 32 * 1024;
    static constexpr quint32 LargeBlock = 255 * 1024;
    static constexpr qint64 BytesAhead = 2 * 1024 * 1024;

private:
    friend class SftpSession;
    SftpFile(SftpSession *session, sftp_file handle, Mode mode, qint64 offset, qint64 size, quint32 block);

    struct Request
    {
        quint32 id;
        quint32 length;
        qint64 at;
    };
    bool run(const std::function<bool()> &fn);
    qint64 readSome(char *buffer, qint64 maxSize); // on the link's thread
    bool ask(qint64 at, quint32 length, bool first);
    void drain();
    bool flush();
    bool finish(bool complete);
    bool failed(const QString &otherwise);

    QPointer<SftpSession> m_session;
    sftp_file m_handle;
    Mode m_mode;
    qint64 m_offset;
    qint64 m_announced;
    qint64 m_expected = -1;
    qint64 m_moved = 0;
    const quint32 m_block;          // bytes a request asks for or carries
    qint64 m_asked;                 // the next byte a read request asks for
    std::deque<Request> m_requests; // on the way, in the file's order
    bool m_end = false;
    bool m_overtaken = false; // a request asked again went out after later ones
    std::vector<char> m_held; // a request's data the caller had no room for
    size_t m_heldFrom = 0;
    std::vector<char> m_out; // writes gather here
};
