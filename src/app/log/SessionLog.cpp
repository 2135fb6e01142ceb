#include "SessionLog.h"
