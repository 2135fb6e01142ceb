// What the window shows of the connection: the fields it was opened with, the padlock, and a
// remote side cleared when the connection is gone.
#include "RemotePane.h"

#include "Padlock.h"
#include "formmain.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardItemModel>

void RemotePane::clearRemoteSide()
{
    m_window.setWindowTitle(QStringLiteral("Vestrigal"));
    m_window.ListView1->setRows({});
    m_window.remoteTree->clear();
    m_window.EnableConnectionCommands(false);
    m_window.padlock()->showDisconnected();
}

ProfileConnection RemotePane::fieldValues() const
{
    ProfileConnection c;
    c.server = m_window.txtServer->text();
    c.port = m_window.txtPort->text();
    c.username = m_window.txtUsername->text();
    c.password = m_window.txtPassword->text();
    c.proxy = m_window.txtProxy->text();
    c.timeout = m_window.txtTimeout->text();
    c.keepAlive = m_window.txtKeep->text();
    c.active = m_window.checkType->isChecked();
    return c;
}

// The protocol and cipher as the login put them in the log: "The connection is encrypted (...)".
void RemotePane::showPadlock()
{
    static const QRegularExpression described(QStringLiteral("^The connection is encrypted \\((.*)\\)\\.$"));
    QString tls;
    for (const FtpSession::LogLine &line : m_session->loginLog())
        if (const auto match = described.match(line.text); line.kind == FtpSession::LogLine::Note && match.hasMatch())
            tls = match.captured(1);
    // Also for a certificate the system trusts, which no question showed.
    const QString shown = m_session->certificateFingerprint();
    m_window.padlock()->showConnection(*m_session, tls, shown.isEmpty() ? m_fingerprint : shown);
}
