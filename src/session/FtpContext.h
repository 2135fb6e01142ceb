#pragma once

#include "FtpControl.h"
#include "FtpDataAddress.h"
#include "FtpNameCodec.h"
#include "FtpTypes.h"

#include <optional>

// What the operations of one session share: the control connection, the options and what
// was learnt about the server.
struct FtpContext
{
    explicit FtpContext(FtpControl &c) : control(c) {}

    FtpControl &control;
    FtpOptions options;
    FtpNameCodec names;

    bool mlsd = false;        // FEAT offers MLST/MLSD
    bool utf8 = false;        // FEAT offers UTF8
    bool epsvRefused = false; // remembered for the session
    bool eprtRefused = false;
    bool restRefused = false;
    bool protectData = false; // PROT P accepted: every data connection runs under TLS
    // The type our last TYPE set, so that a queue of files or listings sends it only when it
    // changes; none after a typed command (it may have been a TYPE) or a new login.
    std::optional<FtpTransferType> type;
    // The address a raw PASV/EPSV reply gave, so that a raw LIST or RETR can be drained.
    std::optional<FtpDataAddress::Endpoint> rawPassive;
};
