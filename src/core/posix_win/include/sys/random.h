#pragma once
#include "../posix_win.h"
