#pragma once
#include_next <sys/stat.h>
// The station never follows a link; on Windows it meets none through stat.
#ifndef S_ISLNK
#define S_ISLNK(mode) 0
#endif
#define lstat stat
