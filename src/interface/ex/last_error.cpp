// The last-error message of the options library: one buffer per thread, so
// calls on any number of threads at once each keep their own message. The
// engine's steps write it through set_err and clear_err, as they write the
// seven functions' process-wide one in the other library.
#include "interface/message.h"

#include "base/error.h"

// Zero-filled for every thread, so each thread's message starts empty.
static thread_local char s_err[ERR_MAX + 1];

char *message_buffer(void)
{
    return s_err;
}
