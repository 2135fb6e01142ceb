#pragma once

#include <QString>

// Local folder paths end with "/", remote ones too; a full path is folder & name.
namespace Paths {

inline QString asFolder(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace Paths
