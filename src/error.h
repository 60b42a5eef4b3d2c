// The library's last-error message: one process-wide buffer, written by
// set_err on a failing path and emptied at the end of every successful call.
#pragma once

// Longest message kept; longer ones are cut to this many characters.
constexpr int ERR_MAX = 511;

#if defined(__GNUC__)
#  define IMGT_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#  define IMGT_PRINTF(f, a)
#endif

// Replaces the message with the formatted text (cut at ERR_MAX characters).
const char *set_err(const char *fmt, ...) IMGT_PRINTF(1, 2);

// Empties the message: only its first byte is written.
void clear_err(void);
