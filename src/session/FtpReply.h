#pragma once

#include <QByteArray>

// One whole server reply: its code and every line exactly as received (line ends included).
struct FtpReply
{
    int code = 0;
    QByteArray text;

    bool isPreliminary() const { return code >= 100 && code < 200; }
    bool isPositive() const { return code >= 200 && code < 300; }
    bool isIntermediate() const { return code >= 300 && code < 400; }
    bool isFailure() const { return code >= 400; }
};
