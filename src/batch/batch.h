// Thumbnails of a whole directory, and the creation of the directory that
// receives them.
#pragma once

#include <cstdint>

#include "common/files.h"
#include "platform/platform.h"

// Body of imgthumbnail_batch once its arguments have been checked: makes
// sure output_dir exists (creating it when missing), then runs over
// input_dir. 1 when at least one thumbnail was written (message emptied),
// else 0 with one of the batch's messages.
int batch_thumbnails(const char *input_dir, const char *output_dir, int32_t size);

// The listing and the loop over its entries; output_dir must exist. When
// output_dir is input_dir itself, however spelled, no existing file is ever
// replaced: an entry whose output exists already counts as failed.
int batch_run_impl(const char *input_dir, const char *output_dir, int32_t size);

// What the batch makes of one listing entry.
enum BatchEntry {
    ENTRY_SKIPPED,  // no candidate: hidden, no extension, or not an image name
    ENTRY_READY,    // a candidate; both paths are formed
    ENTRY_TOO_LONG, // a candidate whose input or output path does not fit
};

// Decides whether the entry name is a candidate and forms its input path
// and output path, each into a buffer of PATH_BUF_SIZE bytes.
BatchEntry batch_entry_paths(const char *input_dir, const char *output_dir, const char *name,
                             char *in_path, char *out_path);

// Creates path and every missing level above it; levels that exist already
// (as anything) are accepted. Both '/' and '\' separate levels, on every
// platform alike, and the first level that fails ends the walk: the batch's
// own rule, where make_folders (common/files.h) follows the platform's. 0
// when the last level was created or existed, else -1; no message is
// written.
int ensure_dir(const char *path);

// The same walk, creating each level with make, which answers as
// make_folder does (tests record the calls).
typedef int (*MakeFolderFn)(const char *path);
int ensure_dir_with(const char *path, MakeFolderFn make);
