#include "variousFunctions.h"
