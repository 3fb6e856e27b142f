// frei0r's own header, which declares its functions without C linkage for C++.
#pragma once

extern "C" {
#include <frei0r.h>
}
