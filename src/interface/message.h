// Where the message of set_err and clear_err (base/error.h) lives: each
// library defines it, one buffer for the process or one per thread.
#pragma once

// ERR_MAX + 1 bytes: the message, as the library's last-error call hands
// it out.
char *message_buffer(void);
