#pragma once

#include <QLabel>

class FtpSession;

// The padlock of the status bar: closed while the login and the data are encrypted, open and red
// while any of them travels in clear, absent while not connected.
class Padlock : public QLabel
{
    Q_OBJECT
public:
    explicit Padlock(QWidget *parent = nullptr);

    // Shows the state of an open connection. `tls` is "TLS 1.3, cipher" as the login said it, and
    // `fingerprint` the certificate's SHA-256 fingerprint when it is known.
    void showConnection(const FtpSession &session, const QString &tls, const QString &fingerprint);
    void showDisconnected();

    static QPixmap picture(bool closed, int size);
};
