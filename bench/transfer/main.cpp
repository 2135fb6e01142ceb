// Moves one file through the FTP client's block API, as the transfer engine does: open, blocks
// of 1024 bytes, close. Downloads REMOTE into LOCAL_DIR/down.bin, then uploads that file again
// as REMOTE.up. Prints "name value unit" lines: throughput and the peak memory of the download.
//
// bench_transfer HOST PORT USER PASSWORD REMOTE LOCAL_DIR [BLOCK]

#include "FtpSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

int fail(const char *what, const FtpSession &session)
{
    std::fprintf(stderr, "bench_transfer: %s: %s\n", what, qPrintable(session.lastResponseInfo()));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 7) {
        std::fprintf(stderr, "usage: bench_transfer HOST PORT USER PASSWORD REMOTE LOCAL_DIR [BLOCK]\n");
        return 2;
    }
    const qint64 block = args.size() > 7 ? args[7].toLongLong() : 1024;
    FtpOptions options;
    options.host = args[1];
    options.port = quint16(args[2].toUInt());
    options.user = args[3];
    options.password = args[4];
    const QString remote = args[5];
    const QString localPath = args[6] + QStringLiteral("/down.bin");

    FtpSession session;
    if (!session.open(options))
        return fail("login", session);

    // The local file is written and read in 1 MiB pieces, as curl does, so that what is measured
    // is the client's block API, not QFile's small buffer.
    constexpr qint64 kLocalChunk = 1024 * 1024;
    std::vector<char> chunk(static_cast<size_t>(kLocalChunk + block));
    QFile local(localPath);
    if (!local.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    QElapsedTimer clock;
    clock.start();
    auto in = session.openFile(remote, FtpFile::Read, FtpTransferType::Binary);
    if (!in)
        return fail("open for download", session);
    qint64 n = 0, total = 0, filled = 0;
    while ((n = in->read(chunk.data() + filled, block)) > 0) {
        filled += n;
        total += n;
        if (filled >= kLocalChunk) {
            local.write(chunk.data(), filled);
            filled = 0;
        }
    }
    local.write(chunk.data(), filled);
    if (n < 0 || !in->close())
        return fail("download", session);
    local.close();
    const double downSeconds = double(clock.nsecsElapsed()) / 1e9;
    const double downRss = peakRssMiB();

    // Each transfer starts without the other's dirty pages to write back (curl's get the same).
    ::sync();
    if (!local.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 1;
    clock.restart();
    auto out = session.openFile(remote + QStringLiteral(".up"), FtpFile::Write, FtpTransferType::Binary);
    if (!out)
        return fail("open for upload", session);
    while ((filled = local.read(chunk.data(), kLocalChunk)) > 0) {
        for (qint64 i = 0; i < filled; i += block) {
            const qint64 part = std::min(block, filled - i);
            if (out->write(chunk.data() + i, part) != part)
                return fail("upload", session);
        }
    }
    if (!out->close())
        return fail("upload", session);
    const double upSeconds = double(clock.nsecsElapsed()) / 1e9;

    const double mb = double(total) / 1e6;
    std::printf("ftp_download_MBps %.1f MB/s\n", mb / downSeconds);
    std::printf("ftp_upload_MBps %.1f MB/s\n", mb / upSeconds);
    std::printf("ftp_download_peak_rss_MiB %.1f MiB\n", downRss);
    return 0;
}
