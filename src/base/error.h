// How every step reports a failure: one message, written once by the step
// that fails. Each library that exports the engine defines where the
// message lives (the seven functions keep one for the process).
#pragma once

// Longest message kept; longer ones are cut to this many characters.
constexpr int ERR_MAX = 511;

#if defined(__GNUC__)
#  define IMGTHUMB_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#  define IMGTHUMB_PRINTF(f, a)
#endif

// Replaces the message with the formatted text (cut at ERR_MAX characters).
const char *set_err(const char *fmt, ...) IMGTHUMB_PRINTF(1, 2);

// Empties the message: only its first byte is written.
void clear_err(void);
