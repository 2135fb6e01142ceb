// What the window shows of the connection: the fields it was opened with, the padlock, and a
// remote side cleared when the connection is gone.
#include "RemotePane.h"

#include "MainMenus.h"
#include "Padlock.h"
#include "RemoteLogin.h"
#include "FileListView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStandardItemModel>

void RemotePane::clearRemoteSide()
{
    m_s.window.setWindowTitle(QStringLiteral("Vestrigal"));
    m_ui.ListView1->setRows({});
    m_ui.remoteTree->clear();
    enableConnectionCommands(false);
    m_ui.padlock->showDisconnected();
}

void RemotePane::enableConnectionCommands(bool enabled)
{
    m_s.enableActions(MainMenus::connectionCommands(), enabled);
}

void RemotePane::showFields(const ProfileConnection &c)
{
    m_ui.txtServer->setText(c.server);
    m_ui.txtPort->setText(c.port);
    m_ui.txtUsername->setText(c.username);
    m_ui.txtPassword->setText(c.password);
    m_ui.txtProxy->setText(c.proxy);
    m_ui.txtTimeout->setText(c.timeout);
    m_ui.txtKeep->setText(c.keepAlive);
}

ProfileConnection RemotePane::fieldValues() const
{
    ProfileConnection c;
    c.server = m_ui.txtServer->text();
    c.port = m_ui.txtPort->text();
    c.username = m_ui.txtUsername->text();
    c.password = m_ui.txtPassword->text();
    c.proxy = m_ui.txtProxy->text();
    c.timeout = m_ui.txtTimeout->text();
    c.keepAlive = m_ui.txtKeep->text();
    c.active = m_ui.checkType->isChecked();
    return c;
}

void RemotePane::showPadlock()
{
    // Also for a certificate the system trusts, which no question showed.
    const QString shown = m_session->certificateFingerprint();
    m_ui.padlock->showConnection(*m_session, RemoteLogin::tlsText(*m_session), shown.isEmpty() ? m_fingerprint : shown);
}
