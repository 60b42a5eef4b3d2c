// The last-error message of the seven functions: one process-wide buffer,
// written by set_err on a failing path and emptied at the end of every
// successful call.
#include "interface/message.h"

#include "base/error.h"

// Zero-filled at load time, so the message starts empty.
static char s_process_err[ERR_MAX + 1];

char *message_buffer(void)
{
    return s_process_err;
}
