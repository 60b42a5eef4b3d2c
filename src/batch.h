// Thumbnails of a whole directory.
#pragma once

#include <cstdint>

// Body of imgthumbnail_batch once its arguments have been checked.
int batch_thumbnails(const char *input_dir, const char *output_dir, int32_t size);
