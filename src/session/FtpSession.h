#pragma once

#include <QObject>

// Placeholder until the FTP client lands.
class FtpSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
};
