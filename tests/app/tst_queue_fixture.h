#pragma once
// Kept for the tests of other folders that include it.
#include "MainWindowFixture.h"
