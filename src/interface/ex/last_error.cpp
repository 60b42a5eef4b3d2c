// The last-error message of the options library: one buffer per thread, so
// calls on any number of threads at once each keep their own message. The
// engine's steps write it through set_err and clear_err, as they write the
// seven functions' process-wide one in the other library.
#include "interface/ex/last_error.h"

#include <cstdarg>
#include <cstdio>

#include "base/error.h"

// Zero-filled for every thread, so each thread's message starts empty.
static thread_local char s_err[ERR_MAX + 1];

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

const char *thread_error_text(void)
{
    return s_err;
}
