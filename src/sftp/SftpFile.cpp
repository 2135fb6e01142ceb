#include "SftpFile.h"

#include "SftpSession.h"
#include "SshLink.h"

#include <cstring>

SftpFile::SftpFile(SftpSession *session, sftp_file handle, Mode mode, qint64 offset, qint64 size, quint32 block)
    : m_session(session), m_handle(handle), m_mode(mode), m_offset(offset), m_announced(size), m_block(block),
      m_asked(offset)
{
}

SftpFile::~SftpFile()
{
    if (m_handle)
        abort();
}

// The handle stays as it is: a call may still be using it on the link's thread; release() frees it
// once none does.
void SftpFile::detach()
{
    m_session = nullptr;
}

// libssh frees a handle only in sftp_close(), which on a cut link fails at once but still frees it.
void SftpFile::release(SshLink &link)
{
    if (m_handle)
        link.run([this] { sftp_close(m_handle); }, 1000);
    m_handle = nullptr;
}

bool SftpFile::run(const std::function<bool()> &fn)
{
    if (!m_session || !m_session->m_link || !m_handle)
        return false;
    // Busy while it runs, so that a close() meanwhile leaves the link to end after the call.
    const QPointer<SftpSession> session = m_session.data();
    bool ok = false;
    session->m_busy = true;
    session->m_link->run([&] { ok = fn(); }, session->timeout());
    if (session) {
        session->m_busy = false;
        if (!session->m_open) { // closed meanwhile: the handle goes before the link
            release(*session->m_link);
            session->m_link.reset();
        }
    }
    return ok && m_session;
}

bool SftpFile::failed(const QString &otherwise)
{
    if (m_session && m_session->m_link)
        m_session->fail(otherwise);
    return false;
}

qint64 SftpFile::read(char *buffer, qint64 maxSize)
{
    if (m_mode != Read || maxSize <= 0)
        return m_mode == Read ? 0 : -1;
    if (m_heldFrom < m_held.size()) {
        const size_t n = std::min(size_t(maxSize), m_held.size() - m_heldFrom);
        std::memcpy(buffer, m_held.data() + m_heldFrom, n);
        m_heldFrom += n;
        m_moved += qint64(n);
        return qint64(n);
    }
    if (m_end)
        return 0;
    qint64 got = -1;
    if (!run([&] { return (got = readSome(buffer, maxSize)) >= 0; })) {
        failed(QStringLiteral("The file could not be read."));
        return -1;
    }
    m_moved += got;
    return got;
}

bool SftpFile::ask(qint64 at, quint32 length, bool first)
{
    if (sftp_seek64(m_handle, quint64(at)) < 0)
        return false;
    const int id = sftp_async_read_begin(m_handle, length);
    if (id < 0)
        return false;
    if (first)
        m_requests.push_front({quint32(id), length, at});
    else
        m_requests.push_back({quint32(id), length, at});
    return true;
}

qint64 SftpFile::readSome(char *buffer, qint64 maxSize)
{
    // Nothing is asked for past the size known: libssh leaves the answers to requests past the end
    // queued, and every later request would search past them. One request at the end finds it.
    // Once a request asked again overtook others, their answers wait in libssh's queue, and libssh
    // reads one more packet before it looks there: requests then go on past the end, or it would wait.
    const qint64 size = m_expected >= 0 ? m_expected : m_announced;
    const size_t ahead = size_t(std::max<qint64>(4, BytesAhead / m_block));
    while (m_requests.size() < ahead && (size < 0 || m_asked <= size || m_requests.empty() || m_overtaken)) {
        const quint32 length =
            size < 0 || m_asked >= size ? m_block : quint32(std::min<qint64>(m_block, size - m_asked));
        if (!ask(m_asked, length, false))
            return -1;
        m_asked += length;
    }
    const Request request = m_requests.front();
    m_requests.pop_front();
    const bool direct = maxSize >= request.length;
    if (!direct)
        m_held.resize(request.length);
    char *target = direct ? buffer : m_held.data();
    const int n = sftp_async_read(m_handle, target, request.length, request.id);
    if (n < 0)
        return -1;
    if (n == 0) { // the end: what is still on the way is past it
        m_end = true;
        drain();
        return 0;
    }
    // A server may send less than asked before the end: the rest is asked for before anything later.
    if (quint32(n) < request.length) {
        m_overtaken = m_overtaken || !m_requests.empty();
        if (!ask(request.at + n, request.length - quint32(n), true))
            return -1;
    }
    if (direct)
        return n;
    m_held.resize(size_t(n));
    const size_t first = std::min(size_t(maxSize), size_t(n));
    std::memcpy(buffer, m_held.data(), first);
    m_heldFrom = first;
    return qint64(first);
}

void SftpFile::drain()
{
    std::vector<char> scratch(m_block);
    for (const Request &request : m_requests) {
        scratch.resize(std::max<size_t>(scratch.size(), request.length));
        if (sftp_async_read(m_handle, scratch.data(), request.length, request.id) < 0)
            break;
    }
    m_requests.clear();
}

qint64 SftpFile::write(const char *data, qint64 size)
{
    if (m_mode != Write || !m_handle)
        return -1;
    m_out.insert(m_out.end(), data, data + size);
    if (m_out.size() >= m_block && !flush())
        return -1;
    return size;
}

bool SftpFile::flush()
{
    if (m_out.empty())
        return true;
    size_t from = 0;
    const bool ok = run([&] {
        while (from < m_out.size()) {
            const size_t n = std::min(m_out.size() - from, size_t(m_block));
            const ssize_t written = sftp_write(m_handle, m_out.data() + from, n);
            if (written <= 0)
                return false;
            from += size_t(written);
        }
        return true;
    });
    m_moved += qint64(from);
    m_out.erase(m_out.begin(), m_out.begin() + qint64(from));
    return ok || failed(QStringLiteral("The file could not be written."));
}

bool SftpFile::close()
{
    if (!m_handle)
        return false;
    if (m_mode == Write)
        return finish(flush());
    // A download is whole when the server said it ended, or when all of the expected size came.
    const qint64 expected = m_expected >= 0 ? m_expected : m_announced;
    const qint64 at = m_offset + m_moved;
    const bool complete = (m_end && (expected < 0 || at == expected)) || (!m_end && expected >= 0 && at == expected);
    if (!complete && m_end && m_session)
        m_session->setLastResponse(RemoteFile::shortfall(at, expected).toUtf8() + "\r\n", 0);
    return finish(complete);
}

void SftpFile::abort()
{
    m_out.clear();
    finish(false);
}

bool SftpFile::finish(bool complete)
{
    bool closed = false;
    run([&] {
        drain();
        closed = sftp_close(m_handle) == SSH_NO_ERROR;
        return closed;
    });
    m_handle = nullptr;
    if (m_session) {
        m_session->fileClosed(this);
        if (complete && !closed)
            failed(QStringLiteral("The server did not confirm the end of the file."));
        else if (complete)
            m_session->succeed(QStringLiteral("Transfer complete."), 226);
    }
    return complete && closed;
}
