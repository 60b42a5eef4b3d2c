// String helpers that must not depend on the host's locale.
#pragma once

#include <cstring>

// Equal after folding the ASCII letters A-Z to a-z; other bytes must match
// exactly, whatever the locale says about them.
inline bool ascii_iequal(const char *a, const char *b)
{
    for (;; a++, b++) {
        unsigned char ca = (unsigned char)*a, cb = (unsigned char)*b;
        if (ca >= 'A' && ca <= 'Z') ca = (unsigned char)(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = (unsigned char)(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}

// The text after the last '.' of s, or nullptr when s has no '.'.
inline const char *after_last_dot(const char *s)
{
    const char *dot = std::strrchr(s, '.');
    return dot ? dot + 1 : nullptr;
}
