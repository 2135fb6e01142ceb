#include "FtpNameCodec.h"

#include <QStringDecoder>

QString FtpNameCodec::decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString FtpNameCodec::decode(const QByteArray &raw)
{
    const QString name = decodeText(raw);
    if (name.toUtf8() != raw) {
        if (m_raw.size() >= kMaxRemembered)
            m_raw.clear();
        m_raw.insert(name, raw);
    }
    return name;
}

// Maps each segment of the path on its own, so "dir/<latin-1 name>" works as well.
QByteArray FtpNameCodec::encode(const QString &path) const
{
    if (m_raw.isEmpty())
        return path.toUtf8();
    QByteArray out;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += '/';
        const auto it = m_raw.constFind(parts[i]);
        out += it != m_raw.constEnd() ? it.value() : parts[i].toUtf8();
    }
    return out;
}
