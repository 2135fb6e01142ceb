#pragma once

#include "FtpDataOperation.h"
#include "FtpListParser.h"

// MLSD or LIST of one folder. The listing is read as it arrives, a line at a time, and each entry
// goes to the sink at once: the text is never held whole. Done when the final reply is 2xx and
// the data connection has ended, in whichever order the two come; over TLS only with close_notify. A listing of more than
// kMaxEntries entries or kMaxListing bytes fails, and says which.
class FtpListOperation : public FtpDataOperation
{
    Q_OBJECT
public:
    // A user's biggest real folders hold about a million entries; a million MLSD lines with long
    // names and every fact take well under this much text.
    static constexpr qsizetype kMaxListing = 256 * 1024 * 1024;
    static constexpr int kMaxEntries = 1000000;

    FtpListOperation(FtpContext &context, const QByteArray &folder, bool mlsd, FtpListParser::Reader::Sink sink,
                     QObject *parent = nullptr);
    bool usedMlsd() const { return m_mlsd; }
    // Lines that were neither an entry nor a line servers write around entries.
    int unreadableLines() const { return m_reader.unreadable(); }

protected:
    QByteArray transferCommand() const override;
    void onTransferReply(const FtpReply &reply) override;
    void onDataReadable() override;
    void onDataClosed() override;

private:
    void take(const QByteArray &chunk);
    bool withinBounds();
    void finishWhenComplete();

    QByteArray m_folder;
    bool m_mlsd;
    FtpListParser::Reader m_reader;
    qint64 m_received = 0;
    int m_entries = 0;
    bool m_finalOk = false;
    bool m_dataDone = false;
    bool m_cut = false; // the data ended without TLS close_notify
    bool m_failed = false;
};
