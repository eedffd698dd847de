#pragma once
#include_next <locale.h>
// Windows' C runtime formats numbers under the "C" locale unless a program
// sets another, and Qt sets none there: the classic locale is what every
// thread has, and using it changes nothing.
#ifndef LC_ALL_MASK
typedef void* locale_t;
#define LC_ALL_MASK 0
static inline locale_t newlocale(int mask, const char* name, locale_t base) {
    (void)mask;
    (void)name;
    (void)base;
    static int classic;
    return &classic;
}
static inline locale_t uselocale(locale_t locale) { return locale; }
static inline void freelocale(locale_t locale) { (void)locale; }
#endif
