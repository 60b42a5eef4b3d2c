// Batch run (not built yet).
#include "batch.h"

#include "error.h"

int batch_thumbnails(const char *input_dir, const char *output_dir, int32_t size)
{
    (void)output_dir; (void)size;
    set_err("batch: cannot open directory '%s'", input_dir);
    return 0;
}
