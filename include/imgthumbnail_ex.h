/* quintaro-imgthumbnail-ex: thumbnails with options, over the engine of
 * quintaro-imgthumbnail (the same decoding, resampling and encoding, so the
 * same bytes where the two make the same thumbnail).
 *
 *     imgthumbnail_ex_options o;
 *     imgthumbnail_ex_defaults(&o);
 *     o.mode = IMGTHUMBNAIL_EX_FIT;
 *     o.width = 320;
 *     o.height = 240;
 *     if (!imgthumbnail_ex_thumbnail("photo.jpg", "thumb.jpg", &o))
 *         fprintf(stderr, "%s\n", imgthumbnail_ex_last_error());
 *
 * Modes, for a w x h image (as seen upright) and the box width x height:
 *   COVER   width x height exactly: the largest centred region of that shape,
 *           resampled. COVER S x S is imgthumbnail_square's thumbnail.
 *   FIT     the whole image inside the box, its shape kept: width wide when
 *           width * h <= height * w, else height high (the other side
 *           rounded to nearest, at least 1).
 *   PAD     FIT, centred on a width x height canvas of the background colour
 *           (the extra pixel of an odd margin on the right or at the bottom);
 *           the image's pixels replace the canvas's, with no blending.
 *   SMART   imgthumbnail_smart's thumbnail: the width x height window with
 *           the most detail.
 *   ASPECT  imgthumbnail_aspect's thumbnail: the largest centred region of
 *           the ratio, width pixels wide (height is not read).
 * With rotate 0, COVER S x S, ASPECT and SMART write exactly the bytes of
 * imgthumbnail_square, imgthumbnail_aspect and imgthumbnail_smart (at
 * quality 90), and so does rotate 1 for an image with no Orientation tag.
 *
 * rotate 1 (the default) turns the image upright by the EXIF Orientation tag
 * (1..8) of a JPEG's APP1 "Exif" segment or a PNG's eXIf chunk before
 * anything else; a missing, damaged or out-of-range tag means 1 (upright),
 * never a failure. rotate 0 keeps the stored pixel order.
 * upscale 0 never enlarges: where COVER, ASPECT, FIT or PAD would scale up
 * on either axis, the region (the whole image for FIT and PAD) is kept at its
 * own size. SMART always writes width x height.
 * Output formats follow the output path's extension as in imgthumbnail.h;
 * JPEG and BMP have no alpha, so a PAD canvas is flattened over white with
 * the rest.
 *
 * Threads: safe to call from any number of threads at once. Nothing is
 * shared between calls; the message is the calling thread's own.
 *
 * Failures return 0 and leave the reason in imgthumbnail_ex_last_error():
 *   "thumbnail: NULL input/output"
 *   "thumbnail: NULL options"
 *   "thumbnail: options size %d, expected %d"   (struct_size; fill the record
 *                                                with imgthumbnail_ex_defaults)
 *   "thumbnail: mode %d out of range 0..4"
 *   "thumbnail: width %d out of range 1..4096"
 *   "thumbnail: height %d out of range 1..4096" (not for ASPECT)
 *   "thumbnail: ratio %d out of range 0..3"     (ASPECT only)
 *   "thumbnail: rotate %d out of range 0..1"
 *   "thumbnail: upscale %d out of range 0..1"
 *   "thumbnail: quality %d out of range 1..100"
 * (checked in this order, the first that fails reported), then those of
 * reading and writing, as imgthumbnail.h's functions give them:
 *   "cannot decode '%s': %s", "image too large: %dx%d", "out of memory",
 *   "cannot encode '%s' (check the extension)", "out of memory for %dx%d crop",
 *   "out of memory for %dx%d resize", "out of memory for resize",
 * and two of this library's own:
 *   "out of memory for %dx%d orientation"  (turning the pixels upright)
 *   "out of memory for %dx%d canvas"       (PAD's canvas)
 * A failed call writes nothing (a file already at the output path stays as
 * it was) and leaves nothing allocated.
 *
 * Paths are NUL-terminated narrow strings handed to the system unchanged (on
 * Windows in the ANSI code page). The calls use the platform's standard C
 * calling convention and leave the caller's floating-point state as it was.
 */
#ifndef IMGTHUMBNAIL_EX_H
#define IMGTHUMBNAIL_EX_H

/* Largest thumbnail side, as in imgthumbnail.h (sides run from 1). */
#define IMGTHUMBNAIL_EX_MAX_SIZE 4096
/* The JPEG quality range, and the default (the seven functions' quality). */
#define IMGTHUMBNAIL_EX_QUALITY_MIN 1
#define IMGTHUMBNAIL_EX_QUALITY_MAX 100
#define IMGTHUMBNAIL_EX_QUALITY_DEFAULT 90

/* The mode field. */
#define IMGTHUMBNAIL_EX_COVER 0
#define IMGTHUMBNAIL_EX_FIT 1
#define IMGTHUMBNAIL_EX_PAD 2
#define IMGTHUMBNAIL_EX_SMART 3
#define IMGTHUMBNAIL_EX_ASPECT 4
#define IMGTHUMBNAIL_EX_MODE_COUNT 5

/* The ratio field of ASPECT (width : height), the indices of
 * imgthumbnail_aspect. */
#define IMGTHUMBNAIL_EX_RATIO_1_1 0
#define IMGTHUMBNAIL_EX_RATIO_4_3 1
#define IMGTHUMBNAIL_EX_RATIO_16_9 2
#define IMGTHUMBNAIL_EX_RATIO_3_2 3
#define IMGTHUMBNAIL_EX_RATIO_COUNT 4

#if defined(IMGTHUMBNAIL_EX_STATIC)
#  define IMGTHUMBNAIL_EX_API
#elif defined(_WIN32)
#  if defined(IMGTHUMBNAIL_EX_BUILDING)
#    define IMGTHUMBNAIL_EX_API __declspec(dllexport)
#  else
#    define IMGTHUMBNAIL_EX_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define IMGTHUMBNAIL_EX_API __attribute__((visibility("default")))
#else
#  define IMGTHUMBNAIL_EX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The options of one thumbnail: nine 32-bit fields, 36 bytes, no padding,
 * on every platform. Fill it with imgthumbnail_ex_defaults, then change what
 * you need. */
typedef struct imgthumbnail_ex_options {
    int struct_size;         /* sizeof(imgthumbnail_ex_options), set by the defaults: a
                                later, longer record keeps these fields where they are */
    int mode;                /* IMGTHUMBNAIL_EX_COVER (default), _FIT, _PAD, _SMART, _ASPECT */
    int width;               /* the box, 1..4096 (default 0: always set it) */
    int height;              /* 1..4096 (default 0: set it, but for ASPECT) */
    int ratio;               /* ASPECT only: 0 (1:1, default), 1 (4:3), 2 (16:9), 3 (3:2) */
    int rotate;              /* 1: turn upright by the EXIF Orientation (default); 0: stored order */
    int upscale;             /* 1: enlarge to the box (default); 0: never enlarge */
    int quality;             /* JPEG quality 1..100 (default 90) */
    unsigned int background; /* PAD's canvas, 0xRRGGBBAA (default 0: transparent black) */
} imgthumbnail_ex_options;

/* Fills *options with the defaults above (nothing when options is NULL). */
IMGTHUMBNAIL_EX_API void imgthumbnail_ex_defaults(imgthumbnail_ex_options *options);

/* Makes the thumbnail that *options describes of the image at input and
 * writes it to output. 1 on success (the calling thread's message emptied);
 * 0 on failure, the reason in imgthumbnail_ex_last_error(). */
IMGTHUMBNAIL_EX_API int imgthumbnail_ex_thumbnail(const char *input, const char *output,
                                                  const imgthumbnail_ex_options *options);

/* The calling thread's last failure message ("" when none since its last
 * success): never NULL, owned by the library, valid on that thread until its
 * next call or its end. Each thread sees only its own calls' messages. */
IMGTHUMBNAIL_EX_API const char *imgthumbnail_ex_last_error(void);

#ifdef __cplusplus
}
#endif

#endif
