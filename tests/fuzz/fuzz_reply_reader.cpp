// The reply reader and the address parsers on whatever a server may send. Fed whole and fed one
// byte at a time, the reader must give the same replies: packet boundaries never change meaning.
#include "FtpDataAddress.h"
#include "FtpReplyReader.h"

#include <cstdlib>

namespace {

struct Outcome
{
    QList<FtpReply> replies;
    bool failed = false;
};

Outcome readAll(const QByteArray &data, qsizetype piece)
{
    FtpReplyReader reader;
    Outcome outcome;
    for (qsizetype at = 0; at < data.size() && !outcome.failed; at += piece) {
        outcome.failed = !reader.feed(data.mid(at, piece));
        while (reader.hasReply())
            outcome.replies.append(reader.takeReply());
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const Outcome whole = readAll(data, qMax<qsizetype>(data.size(), 1));
    const Outcome byByte = readAll(data, 1);
    if (whole.failed != byByte.failed || whole.replies.size() != byByte.replies.size())
        std::abort();
    for (qsizetype i = 0; i < whole.replies.size(); ++i) {
        const FtpReply &reply = whole.replies[i];
        if (reply.code != byByte.replies[i].code || reply.text != byByte.replies[i].text)
            std::abort();
        if (reply.code < 100 || reply.code > 599 || reply.text.isEmpty())
            std::abort();
        if (const auto endpoint = FtpDataAddress::parsePasv(reply.text))
            FtpDataAddress::isUnroutable(endpoint->address);
        if (const auto port = FtpDataAddress::parseEpsv(reply.text); port && *port == 0)
            std::abort();
    }
    return 0;
}
