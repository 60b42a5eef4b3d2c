// Batch thumbnails: the output directory step, the run over the input
// directory's listing, which entries are taken and how their thumbnails are
// named.
#include "batch/batch.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/ascii.h"
#include "base/error.h"
#include "imgthumbnail.h"

// Input extensions the batch takes, compared without regard to ASCII case.
static const char *const INPUT_EXTS[] = {"png", "jpg", "jpeg", "bmp", "tga"};
// JPEG inputs get PNG thumbnails: a second lossy pass would only add
// artefacts. The other formats keep their extension text as written.
static const char *const JPEG_EXTS[] = {"jpg", "jpeg"};
static const char *const JPEG_OUTPUT_EXT = "png";
// Longest stem carried over from an entry name into its output name.
static const int STEM_MAX = 2048;
// The '*' that the Windows listing adds to the folder to form its pattern.
static const int LISTING_WILDCARD_LEN = 1;

static bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

// Formats a path into a buffer of size bytes. False when the whole path
// does not fit: such a path is never used cut.
static bool format_path(char *buf, size_t size, const char *fmt, ...) IMGTHUMB_PRINTF(3, 4);
static bool format_path(char *buf, size_t size, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return n >= 0 && (size_t)n < size;
}

static bool in_list(const char *ext, const char *const *list, size_t count)
{
    for (size_t i = 0; i < count; i++)
        if (ascii_iequal(ext, list[i])) return true;
    return false;
}

BatchEntry batch_entry_paths(const char *input_dir, const char *output_dir, const char *name,
                             char *in_path, char *out_path)
{
    // Hidden names are skipped whatever they end with; so are "." and "..".
    if (name[0] == '.') return ENTRY_SKIPPED;
    const char *ext = extension_of(name);
    if (!ext || !in_list(ext, INPUT_EXTS, sizeof INPUT_EXTS / sizeof *INPUT_EXTS)) return ENTRY_SKIPPED;

    const char *out_ext = in_list(ext, JPEG_EXTS, sizeof JPEG_EXTS / sizeof *JPEG_EXTS) ? JPEG_OUTPUT_EXT : ext;
    size_t stem_len = (size_t)(ext - 1 - name);
    if (stem_len > (size_t)STEM_MAX) stem_len = (size_t)STEM_MAX;
    if (!format_path(in_path, PATH_BUF_SIZE, "%s%c%s", input_dir, PATH_SEP, name)) return ENTRY_TOO_LONG;
    if (!format_path(out_path, PATH_BUF_SIZE, "%s%c%.*s.%s", output_dir, PATH_SEP, (int)stem_len, name, out_ext))
        return ENTRY_TOO_LONG;
    return ENTRY_READY;
}

// The state of one run, handed to the listing's visitor.
struct BatchRun {
    const char *input_dir;
    const char *output_dir;
    int32_t size;
    bool keep_existing; // output_dir is input_dir: replace nothing
    bool any_candidate;
    int32_t written;
    char in_path[PATH_BUF_SIZE];
    char out_path[PATH_BUF_SIZE];
};

// What an entry is does not count: a folder with an image's name is a
// candidate, whose thumbnail fails.
static void batch_entry(const char *name, bool /*is_folder*/, void *context)
{
    BatchRun *run = (BatchRun *)context;
    const BatchEntry entry = batch_entry_paths(run->input_dir, run->output_dir, name, run->in_path, run->out_path);
    if (entry == ENTRY_SKIPPED) return;
    run->any_candidate = true;
    if (entry == ENTRY_TOO_LONG) return;
    // In its own directory a png, bmp or tga entry would be overwritten by
    // its thumbnail: an original is worth more than one thumbnail.
    if (run->keep_existing && path_exists(run->out_path)) return;
    // The failing step's message lasts only until the run's own outcome.
    run->written += imgthumbnail_square(run->in_path, run->out_path, run->size);
}

static bool same_directory(const char *a, const char *b)
{
    FileId ia, ib;
    return file_id(a, &ia) && file_id(b, &ib) && same_file_id(ia, ib);
}

int batch_run_impl(const char *input_dir, const char *output_dir, int32_t size)
{
    // input_dir is listed with a separator after it, whatever it ends with:
    // the Windows pattern is then input_dir, '\' and '*' (two separators in a
    // row after one of its own, "C:\*" for "C:"), and POSIX opens "/" for ""
    // as Windows lists "\*". The pattern must fit a path buffer on every
    // platform alike, its '*' included.
    char folder[PATH_BUF_SIZE - LISTING_WILDCARD_LEN];
    if (!format_path(folder, sizeof folder, "%s%c", input_dir, PATH_SEP)) {
        set_err("batch: cannot open directory '%s'", input_dir);
        return 0;
    }
    BatchRun run;
    run.input_dir = input_dir;
    run.output_dir = output_dir;
    run.size = size;
    run.keep_existing = same_directory(input_dir, output_dir);
    run.any_candidate = false;
    run.written = 0;
    if (!list_folder(folder, batch_entry, &run)) {
        set_err("batch: cannot open directory '%s'", input_dir);
        return 0;
    }
    if (!run.any_candidate) {
        set_err("batch: no images found in '%s'", input_dir);
        return 0;
    }
    if (run.written == 0) {
        set_err("batch: no files could be processed in '%s'", input_dir);
        return 0;
    }
    clear_err();
    return 1;
}

int batch_thumbnails(const char *input_dir, const char *output_dir, int32_t size)
{
    // An existing regular file passes ensure_dir too (its last level
    // exists); every save into it then fails and the run says so.
    if (path_kind(output_dir) != PATH_FOLDER && ensure_dir(output_dir) != 0) {
        set_err("batch: cannot create output dir '%s'", output_dir);
        return 0;
    }
    return batch_run_impl(input_dir, output_dir, size);
}

int ensure_dir_with(const char *path, MakeFolderFn make)
{
    // All work happens on a copy; a path too long for it is refused whole
    // rather than creating some shorter path the caller never named.
    char work[PATH_BUF_SIZE];
    size_t len = std::strlen(path);
    if (len == 0 || len >= sizeof work) return -1;
    std::memcpy(work, path, len + 1);
    // One trailing separator names the same directory; a second one stays.
    if (is_separator(work[len - 1])) work[--len] = '\0';

    // The first character is never a split point, so a leading separator
    // never leads to a call on an empty prefix.
    for (size_t i = 1; i < len; i++) {
        if (!is_separator(work[i])) continue;
        work[i] = '\0';
        const int err = make(work);
        if (err != 0 && err != EEXIST) return -1;
        work[i] = '/';
    }
    const int err = make(work);
    return err == 0 || err == EEXIST ? 0 : -1;
}

int ensure_dir(const char *path)
{
    return ensure_dir_with(path, make_folder);
}
