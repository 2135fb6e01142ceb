#include "TestSupport.h"

#include <QtGlobal>

QString TestSupport::sourceDir()
{
    return qEnvironmentVariable("VESTRIGAL_SOURCE_DIR");
}
