// A run of the command: the thumbnails of every INPUT, or the library's batch.
#pragma once

#include "options.h"

// Both return the exit status.
int run_thumbnails(const Options *o);
int run_batch(const Options *o);
