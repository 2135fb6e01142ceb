#include "RemotePaths.h"

QString RemotePaths::parentKey(const QString &folder)
{
    // Count the "/" (n), find the (n-1)-th and keep what stands before it.
    const int n = folder.count(QLatin1Char('/'));
    int position = -1;
    for (int i = 0; i < n - 1; ++i)
        position = folder.indexOf(QLatin1Char('/'), position + 1);
    return position <= 0 ? QString() : folder.left(position);
}

QString RemotePaths::upOneLevel(const QString &folder)
{
    const int last = folder.lastIndexOf(QLatin1Char('/'), folder.size() - 2);
    return last < 0 ? QStringLiteral("/") : folder.left(last + 1);
}

QString RemotePaths::fromTyped(QString typed)
{
    while (typed.endsWith(QLatin1String("//")))
        typed.chop(1);
    if (!typed.endsWith(QLatin1Char('/')))
        typed += QLatin1Char('/');
    return typed;
}
