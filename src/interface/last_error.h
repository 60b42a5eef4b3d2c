// The seven functions' last-error message: one buffer for the process.
#pragma once

// The message buffer itself, as imgthumbnail_last_error hands it out.
const char *last_error_text(void);
