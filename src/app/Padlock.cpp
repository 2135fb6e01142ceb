#include "Padlock.h"

#include "FtpSession.h"
#include "RemoteLogin.h"

#include <QPainter>
#include <QPainterPath>

Padlock::Padlock(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("padlock"));
    setAlignment(Qt::AlignCenter);
    setContentsMargins(4, 0, 8, 0);
    hide();
}

QPixmap Padlock::picture(bool closed, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = closed ? QColor(40, 40, 40) : QColor(220, 0, 0);
    const qreal unit = size / 16.0;
    // The shackle: over the body when closed, lifted and swung aside when open.
    QPainterPath shackle;
    const qreal left = closed ? 4 * unit : 9 * unit;
    const qreal top = closed ? 1.5 * unit : 0.5 * unit;
    shackle.moveTo(left, 8 * unit);
    shackle.lineTo(left, top + 3 * unit);
    shackle.arcTo(QRectF(left, top, 8 * unit, 6 * unit), 180, -180);
    shackle.lineTo(left + 8 * unit, closed ? 8 * unit : 5 * unit);
    painter.setPen(QPen(colour, 1.8 * unit));
    painter.drawPath(shackle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF((closed ? 2 : 1) * unit, 7.5 * unit, 12 * unit, 8 * unit), unit, unit);
    return pixmap;
}

void Padlock::showConnection(const FtpSession &session, const QString &tls, const QString &fingerprint)
{
    const bool closed = session.isEncrypted() && session.protectsData();
    setPixmap(picture(closed, fontMetrics().height()));
    setToolTip(RemoteLogin::securityText(session, tls, fingerprint));
    show();
}

void Padlock::showDisconnected()
{
    clear();
    setToolTip(QString());
    hide();
}
