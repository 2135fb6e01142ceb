#include "FtpSession.h"
