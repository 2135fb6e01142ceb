#pragma once

#include "FtpCertificate.h"
#include "KnownCertificates.h"

class Prompter;

// The question the user answers for a server certificate that cannot be verified, before the
// login goes on: who the certificate names, who issued it, how long it is valid, its SHA-256,
// and whether it replaces one the user chose to always trust. "Always trust" stores it.
namespace CertificateQuestion {

QString text(const FtpCertificate &certificate, bool changed);
QStringList buttons(); // "Trust once", "Always trust", "Cancel"
// Asks, and stores the certificate on "Always trust". A store that cannot be written still lets
// this connection go on; storeError then says why it will be asked again.
FtpTrust ask(const FtpCertificate &certificate, const KnownCertificates &known, Prompter &prompter,
             QString *storeError = nullptr);

} // namespace CertificateQuestion
