#pragma once
#include_next <fcntl.h>
#include "posix_win.h"
// Not inherited by the programs the station starts, and binary: the station
// opens every file with O_CLOEXEC, and no byte of its files is translated.
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
// The station's file names are never links it follows.
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
