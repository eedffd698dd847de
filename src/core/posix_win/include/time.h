#pragma once
#include_next <time.h>
// A broken-down time read as UTC.
#ifndef timegm
#define timegm _mkgmtime
#endif
