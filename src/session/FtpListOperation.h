#pragma once

#include "FtpDataOperation.h"

// MLSD or LIST of one folder; collects the raw listing. Done when the final reply is 2xx and the
// data connection has ended, in whichever order the two come; over TLS only with close_notify.
class FtpListOperation : public FtpDataOperation
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxListing = 512 * 1024 * 1024;

    FtpListOperation(FtpContext &context, const QByteArray &folder, bool mlsd, QObject *parent = nullptr);
    QByteArray data() const { return m_listing; }
    bool usedMlsd() const { return m_mlsd; }

protected:
    QByteArray transferCommand() const override;
    void onTransferReply(const FtpReply &reply) override;
    void onDataReadable() override;
    void onDataClosed() override;

private:
    void finishWhenComplete();

    QByteArray m_folder;
    bool m_mlsd;
    QByteArray m_listing;
    bool m_finalOk = false;
    bool m_dataDone = false;
    bool m_cut = false; // the data ended without TLS close_notify
};
