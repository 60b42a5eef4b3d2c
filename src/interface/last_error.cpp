// The last-error message of the seven functions: one process-wide buffer,
// written by set_err on a failing path and emptied at the end of every
// successful call.
#include "interface/last_error.h"

#include <cstdarg>
#include <cstdio>

#include "base/error.h"

// Zero-filled at load time, so the message starts empty.
static char s_err[ERR_MAX + 1];

const char *set_err(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    // vsnprintf cuts at sizeof - 1 characters and always terminates.
    std::vsnprintf(s_err, sizeof s_err, fmt, ap);
    va_end(ap);
    return s_err;
}

void clear_err(void)
{
    s_err[0] = '\0';
}

const char *last_error_text(void)
{
    return s_err;
}
