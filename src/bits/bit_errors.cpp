#include "bits/bit_errors.h"
