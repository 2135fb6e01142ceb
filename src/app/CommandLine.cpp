#include "CommandLine.h"


#ifndef VESTRIGAL_VERSION
#define VESTRIGAL_VERSION "5.0"
#endif

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help"))
            return {Action::Help, {}, {}};
        if (arg == QLatin1String("-v") || arg == QLatin1String("--version"))
            return {Action::Version, {}, {}};
        if (arg.startsWith(QLatin1Char('-')))
            return {Action::Error, {}, QStringLiteral("Unknown option %1. Try --help.").arg(arg)};
        if (!line.url.isEmpty())
            return {Action::Error, {}, QStringLiteral("Only one link can be opened at a time.")};
        line.url = arg;
    }
    return line;
}

QString CommandLine::helpText()
{
    return QStringLiteral("Usage: vestrigal [ftp|ftpes|ftps|sftp://[user[:password]@]host[:port][/folder]]\n"
                          "\n"
                          "A desktop FTP client. Given a link, it connects to that server at start:\n"
                          "ftp:// with TLS when the server offers it, ftpes:// only with TLS,\n"
                          "ftps:// with TLS from the first byte (port 990 unless given),\n"
                          "sftp:// over SSH (port 22 unless given).\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     show this help and exit\n"
                          "  -v, --version  show the version and exit\n"
                          "\n"
                          "Environment:\n"
                          "  VESTRIGAL_HOME  folder for logs, profiles and temporary files\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("Vestrigal " VESTRIGAL_VERSION "\n");
}
