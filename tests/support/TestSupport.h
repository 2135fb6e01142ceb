#pragma once

#include <QString>

namespace TestSupport {

// The source tree (for fixture scripts), as the build passes it to every test.
QString sourceDir();

} // namespace TestSupport
