// Moves one file through the FTP client's block API, as the transfer engine does: open, blocks
// of 1024 bytes, close, and prints "name value unit" lines.
//
// bench_transfer down HOST PORT USER PASSWORD REMOTE LOCAL [BLOCK]   REMOTE -> LOCAL, with peak memory
// bench_transfer up   HOST PORT USER PASSWORD REMOTE LOCAL [BLOCK]   LOCAL -> REMOTE

#include "FtpSession.h"
#include "ProcessMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

// The local file is written and read in 1 MiB pieces, as curl does, so that what is measured is
// the client's block API, not QFile's small buffer.
constexpr qint64 kLocalChunk = 1024 * 1024;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

bool fail(const char *what, const FtpSession &session)
{
    std::fprintf(stderr, "bench_transfer: %s: %s\n", what, qPrintable(session.lastResponseInfo()));
    return false;
}

bool download(FtpSession &session, const QString &remote, QFile &local, qint64 block, qint64 &total)
{
    std::vector<char> chunk(static_cast<size_t>(kLocalChunk + block));
    auto in = session.openFile(remote, FtpFile::Read, FtpTransferType::Binary);
    if (!in)
        return fail("open for download", session);
    qint64 n = 0, filled = 0;
    while ((n = in->read(chunk.data() + filled, block)) > 0) {
        filled += n;
        total += n;
        if (filled >= kLocalChunk) {
            local.write(chunk.data(), filled);
            filled = 0;
        }
    }
    local.write(chunk.data(), filled);
    return (n == 0 && in->close()) || fail("download", session);
}

bool upload(FtpSession &session, QFile &local, const QString &remote, qint64 block, qint64 &total)
{
    std::vector<char> chunk(static_cast<size_t>(kLocalChunk));
    auto out = session.openFile(remote, FtpFile::Write, FtpTransferType::Binary);
    if (!out)
        return fail("open for upload", session);
    qint64 filled = 0;
    while ((filled = local.read(chunk.data(), kLocalChunk)) > 0) {
        for (qint64 i = 0; i < filled; i += block) {
            const qint64 part = std::min(block, filled - i);
            if (out->write(chunk.data() + i, part) != part)
                return fail("upload", session);
        }
        total += filled;
    }
    return out->close() || fail("upload", session);
}

} // namespace

int main(int argc, char **argv)
{
    tuneProcessMemory(); // as the program does
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool down = args.value(1) == QLatin1String("down");
    if (args.size() < 8 || (!down && args.value(1) != QLatin1String("up"))) {
        std::fprintf(stderr, "usage: bench_transfer down|up HOST PORT USER PASSWORD REMOTE LOCAL [BLOCK]\n");
        return 2;
    }
    FtpOptions options;
    options.host = args[2];
    options.port = quint16(args[3].toUInt());
    options.user = args[4];
    options.password = args[5];
    // bench/ftps: TLS required, and the test certificate trusted as "Always trust" would.
    if (qEnvironmentVariable("VESTRIGAL_BENCH_SECURITY") == QLatin1String("explicit"))
        options.security = FtpSecurity::Explicit;
    options.trustedCertificate = QByteArray::fromHex(qgetenv("VESTRIGAL_BENCH_TRUST"));
    const qint64 block = args.size() > 8 ? args[8].toLongLong() : 1024;

    QFile local(args[7]);
    if (!local.open((down ? QIODevice::WriteOnly : QIODevice::ReadOnly) | QIODevice::Unbuffered))
        return 1;
    // The clock runs from the connection on, as curl's total time does.
    QElapsedTimer clock;
    clock.start();
    const double cpu = cpuSeconds();
    FtpSession session;
    if (!session.open(options))
        return fail("login", session) ? 0 : 1;
    qint64 total = 0;
    if (!(down ? download(session, args[6], local, block, total) : upload(session, local, args[6], block, total)))
        return 1;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%s %.1f MB/s\n", down ? "ftp_download_MBps" : "ftp_upload_MBps", double(total) / 1e6 / seconds);
    // Far less processor time than wall time means the client waited (for the server, or for a core).
    std::printf("%s %.3f s\n", down ? "ftp_download_cpu_s" : "ftp_upload_cpu_s", cpuSeconds() - cpu);
    if (down)
        std::printf("ftp_download_peak_rss_MiB %.1f MiB\n", peakRssMiB());
    return 0;
}
