// The listing parser on whatever a server may send as a listing, in every style.
#include "FtpListParser.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static const QDateTime now(QDate(2024, 3, 15), QTime(12, 0));
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const qsizetype lines = FtpListParser::splitLines(data).size();
    for (const bool mlsd : {false, true}) {
        const FtpListParser::Listing listing = FtpListParser::parseListing(data, mlsd, now);
        // Every line is an entry, a frame line or unreadable; a VMS entry may take two lines.
        if (listing.entries.size() + listing.unreadable > lines)
            std::abort();
        for (const FtpListParser::Line &entry : listing.entries) {
            // A name is always text the server sent, never pieced together.
            if (entry.name.isEmpty() || entry.size < 0 || (entry.isFolder && entry.size != 0) ||
                entry.name.contains('\n') || !data.contains(entry.name))
                std::abort();
        }
        // Read in pieces, as a data connection delivers it, the listing is the same.
        QList<QByteArray> names;
        FtpListParser::Reader reader(mlsd, now, [&names](FtpListParser::Line &&line) { names.append(line.name); });
        const qsizetype cut = size ? bytes[0] % (size + 1) : 0;
        reader.feed(data.left(cut));
        reader.feed(data.mid(cut, 3));
        reader.feed(data.mid(cut + 3));
        reader.finish();
        if (names.size() != listing.entries.size() || reader.unreadable() != listing.unreadable)
            std::abort();
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names[i] != listing.entries[i].name)
                std::abort();
    }
    return 0;
}
