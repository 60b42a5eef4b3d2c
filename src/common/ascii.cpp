// ASCII letter case and extensions, the same in every locale.
#include "common/ascii.h"

#include <cstring>

static unsigned char ascii_lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? (unsigned char)(c - 'A' + 'a') : c;
}

int ascii_icompare(const char *a, const char *b)
{
    for (;; a++, b++) {
        const unsigned char ca = ascii_lower((unsigned char)*a), cb = ascii_lower((unsigned char)*b);
        if (ca != cb || ca == 0) return (int)ca - (int)cb;
    }
}

bool ascii_iequal(const char *a, const char *b)
{
    return ascii_icompare(a, b) == 0;
}

const char *extension_of(const char *name)
{
    const char *dot = std::strrchr(name, '.');
    return dot ? dot + 1 : nullptr;
}
