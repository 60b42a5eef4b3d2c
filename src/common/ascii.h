// Text helpers for the library and the command that must not depend on the
// host's locale: ASCII letter case and a name's extension.
#pragma once

// Compares a and b byte by byte after folding the ASCII letters A-Z to a-z;
// every other byte must match exactly, whatever the locale says about it.
// Less than, equal to or greater than 0 as a sorts before, with or after b
// (bytes compared unsigned).
int ascii_icompare(const char *a, const char *b);

// Equal after folding the ASCII letters A-Z to a-z.
bool ascii_iequal(const char *a, const char *b);

// The text after the last '.' of name (empty when it ends in one), or
// nullptr when it has no '.'. Given a whole path, it is the text after the
// path's last '.', wherever that stands.
const char *extension_of(const char *name);
