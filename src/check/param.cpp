#include "check/param.h"
