/* quintaro-imgthumbnail: turn an image file into a thumbnail.
 *
 * Every operation returns 1 on success and 0 on failure; after a 0 the
 * reason is in imgthumbnail_last_error(). Inputs may be PNG, JPEG, BMP, TGA,
 * GIF, PSD, HDR, PIC or PNM (recognised by content). The output format
 * follows the output path's extension: .jpg/.jpeg -> JPEG, .bmp -> BMP,
 * .tga -> TGA, anything else -> PNG. JPEG and BMP have no alpha: pixels are
 * composited over white.
 *
 * Limits: thumbnails are 1..4096 pixels a side; an input may be up to 32768
 * pixels a side (a larger one fails with "image too large: WxH").
 *
 * Paths are NUL-terminated narrow strings, handed to the system unchanged:
 * on Windows they are read in the ANSI code page (the "A" file functions),
 * so a name that code page cannot spell cannot be reached; elsewhere they
 * are bytes (UTF-8, as a rule).
 *
 * Threads: the library keeps one last-error message for the whole process
 * and takes no lock. Calls from several threads at once are safe (each
 * thumbnail is the one a lone call writes; nothing else is shared between
 * calls), but the message read after a failure may then be another
 * thread's. For a message you can trust, call from one thread at a time and
 * read the message before the next call; for parallel work use processes.
 *
 * Outputs are replaced in one step, never left partial. A process killed
 * while writing leaves nothing behind on Linux (the new file has no name
 * until it is whole); elsewhere, or on a file system without unnamed files,
 * it may leave a temporary ".imgthumb-PID-N.tmp" beside the output.
 *
 * The message: imgthumbnail_last_error() always returns the same pointer,
 * never NULL, to text owned by the library; it stays valid while the
 * library is loaded and changes with the next call. Copy it; never free it
 * or write to it.
 *
 * The functions use the platform's standard C calling convention (on 64-bit
 * Windows its one convention) and leave the caller's floating-point state
 * (rounding, flush-to-zero, x87 precision) as they found it.
 */
#ifndef IMGTHUMBNAIL_H
#define IMGTHUMBNAIL_H

/* The version of this header, which is the version of the library built
 * with it. */
#define IMGTHUMBNAIL_VERSION_MAJOR 1
#define IMGTHUMBNAIL_VERSION_MINOR 0
#define IMGTHUMBNAIL_VERSION_PATCH 0
#define IMGTHUMBNAIL_VERSION_STRING "1.0.0"

/* Largest thumbnail side of every operation (sizes run from 1). */
#define IMGTHUMBNAIL_MAX_SIZE 4096
/* Largest side of an input image, as decoded. */
#define IMGTHUMBNAIL_MAX_INPUT_SIDE 32768

/* The ratio argument of imgthumbnail_aspect (width : height). */
#define IMGTHUMBNAIL_RATIO_1_1 0
#define IMGTHUMBNAIL_RATIO_4_3 1
#define IMGTHUMBNAIL_RATIO_16_9 2
#define IMGTHUMBNAIL_RATIO_3_2 3
#define IMGTHUMBNAIL_RATIO_COUNT 4

#if defined(IMGTHUMBNAIL_STATIC)
#  define IMGTHUMBNAIL_API
#elif defined(_WIN32)
#  if defined(IMGTHUMBNAIL_BUILDING)
#    define IMGTHUMBNAIL_API __declspec(dllexport)
#  else
#    define IMGTHUMBNAIL_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define IMGTHUMBNAIL_API __attribute__((visibility("default")))
#else
#  define IMGTHUMBNAIL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Empties the last-error message. Always returns 1; calling it is optional. */
IMGTHUMBNAIL_API int imgthumbnail_init(void);

/* Empties the last-error message. The library stays usable afterwards. */
IMGTHUMBNAIL_API void imgthumbnail_cleanup(void);

/* The last failure's message ("" when none): always the same pointer, never
 * NULL, owned by the library. Do not write to it or free it. */
IMGTHUMBNAIL_API const char *imgthumbnail_last_error(void);

/* The largest centred square of the image, scaled to size x size. */
IMGTHUMBNAIL_API int imgthumbnail_square(const char *input, const char *output, int size);

/* The largest centred region of ratio 0 (1:1), 1 (4:3), 2 (16:9) or 3 (3:2),
 * scaled to size pixels wide. */
IMGTHUMBNAIL_API int imgthumbnail_aspect(const char *input, const char *output, int size, int ratio);

/* A content-aware crop: the window with the most edge energy, scaled to
 * exactly width x height. */
IMGTHUMBNAIL_API int imgthumbnail_smart(const char *input, const char *output, int width, int height);

/* A square thumbnail of every .png/.jpg/.jpeg/.bmp/.tga file directly inside
 * input_dir, written into output_dir (created when missing). JPEG inputs
 * become .png outputs. Returns 1 when at least one thumbnail was written. */
IMGTHUMBNAIL_API int imgthumbnail_batch(const char *input_dir, const char *output_dir, int size);

#ifdef __cplusplus
}
#endif

#endif
