// The options library's last-error message: one buffer per thread.
#pragma once

// The calling thread's message, as imgthumbnail_ex_last_error hands it out.
const char *thread_error_text(void);
