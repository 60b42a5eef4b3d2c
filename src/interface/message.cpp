// set_err and clear_err over the library's message buffer.
#include "interface/message.h"

#include <cstdarg>
#include <cstdio>

#include "base/error.h"

const char *set_err(const char *fmt, ...)
{
    char *err = message_buffer();
    va_list ap;
    va_start(ap, fmt);
    // vsnprintf cuts at the size - 1 characters and always terminates.
    std::vsnprintf(err, ERR_MAX + 1, fmt, ap);
    va_end(ap);
    return err;
}

void clear_err(void)
{
    message_buffer()[0] = '\0';
}
