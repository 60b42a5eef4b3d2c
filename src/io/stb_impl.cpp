// The decoder and encoder implementations, compiled once into the library
// in their default configuration and kept internal (hidden visibility, not
// in the export list).
//
// Assertions inside the decoder would end the host process on a corrupt
// file, so this unit is always built without them.
#ifndef NDEBUG
#define NDEBUG
#endif

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

// The PNG encoder grows its compression buffers with reallocations whose
// failure it does not check: it would write through a null pointer or past
// the old block. While png_encode_to_mem runs, its allocations are therefore
// kept on a list, and a failed one abandons the encoding: every block on the
// list is freed and the caller sees a plain failure. At all other times the
// encoder's allocator is the runtime heap's, untouched.
static void *encoder_malloc(size_t size);
static void *encoder_realloc(void *p, size_t size);
static void encoder_free(void *p);
#define STBIW_MALLOC(size) encoder_malloc(size)
#define STBIW_REALLOC(p, size) encoder_realloc(p, size)
#define STBIW_FREE(p) encoder_free(p)
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "io/stb_bridge.h"

// Header of a block allocated while the PNG encoder runs: a link in the
// list of its live blocks. Two pointers keep the payload 16-byte aligned.
struct TrackedBlock {
    TrackedBlock *prev;
    TrackedBlock *next;
};

// One run of the PNG encoder: the list of its live blocks, and where a
// failed allocation jumps to.
struct EncoderRun {
    TrackedBlock live;
    std::jmp_buf out_of_memory;
};

// The run of the calling thread, while png_encode_to_mem runs on it; each
// thread has its own, so encoders on several threads never meet.
static thread_local EncoderRun *s_run = nullptr;

static void link_block(EncoderRun *run, TrackedBlock *b)
{
    b->prev = &run->live;
    b->next = run->live.next;
    run->live.next->prev = b;
    run->live.next = b;
}

static void unlink_block(TrackedBlock *b)
{
    b->prev->next = b->next;
    b->next->prev = b->prev;
}

static void *encoder_malloc(size_t size)
{
    EncoderRun *run = s_run;
    if (!run) return std::malloc(size);
    TrackedBlock *b = (TrackedBlock *)std::malloc(sizeof(TrackedBlock) + size);
    if (!b) std::longjmp(run->out_of_memory, 1);
    link_block(run, b);
    return b + 1;
}

static void *encoder_realloc(void *p, size_t size)
{
    EncoderRun *run = s_run;
    if (!run) return std::realloc(p, size);
    if (!p) return encoder_malloc(size);
    TrackedBlock *old = (TrackedBlock *)p - 1;
    unlink_block(old);
    TrackedBlock *b = (TrackedBlock *)std::realloc(old, sizeof(TrackedBlock) + size);
    if (!b) {
        link_block(run, old);
        std::longjmp(run->out_of_memory, 1);
    }
    link_block(run, b);
    return b + 1;
}

static void encoder_free(void *p)
{
    if (!s_run) {
        std::free(p);
        return;
    }
    if (!p) return;
    TrackedBlock *b = (TrackedBlock *)p - 1;
    unlink_block(b);
    std::free(b);
}

unsigned char *png_encode_to_mem(const unsigned char *pixels, int w, int h, int channels, int *out_len)
{
    EncoderRun run;
    run.live.prev = run.live.next = &run.live;
    unsigned char *volatile result = nullptr;
    s_run = &run;
    if (setjmp(run.out_of_memory) == 0) {
        int len = 0;
        unsigned char *png = stbi_write_png_to_mem(pixels, 0, w, h, channels, &len);
        if (png) {
            // The file image becomes a plain heap block: its bytes move to
            // the start of their block, over the list link.
            TrackedBlock *b = (TrackedBlock *)png - 1;
            unlink_block(b);
            std::memmove(b, png, (size_t)len);
            result = (unsigned char *)b;
            *out_len = len;
        }
    }
    // Whatever is still listed was abandoned by a failure.
    while (run.live.next != &run.live) {
        TrackedBlock *b = run.live.next;
        unlink_block(b);
        std::free(b);
    }
    s_run = nullptr;
    return result;
}

void stb_clear_failure_reason(void)
{
    // The decoder never clears its reason on success, so a failure that
    // leaves none would otherwise show an older call's reason.
    stbi__g_failure_reason = nullptr;
}

// The JPEG test without the decoder's allocation: a start-of-image marker,
// perhaps after fill bytes, exactly as its header scan reads it.
static int jpeg_soi_test(stbi__context *s)
{
    int x = stbi__get8(s);
    int soi = 0;
    if (x == 0xff) {
        while (x == 0xff) x = stbi__get8(s);
        soi = stbi__SOI(x);
    }
    stbi__rewind(s);
    return soi;
}

DecoderFormat stb_decoder_format(FILE *f)
{
    stbi__context s;
    stbi__start_file(&s, f);
    if (stbi__png_test(&s)) return DECODER_PNG;
    if (stbi__bmp_test(&s)) return DECODER_BMP;
    if (stbi__gif_test(&s)) return DECODER_GIF;
    if (stbi__psd_test(&s)) return DECODER_PSD;
    if (stbi__pic_test(&s)) return DECODER_PIC;
    if (jpeg_soi_test(&s)) return DECODER_JPEG;
    if (stbi__pnm_test(&s)) return DECODER_PNM;
    if (stbi__hdr_test(&s)) return DECODER_HDR;
    if (stbi__tga_test(&s)) return DECODER_TGA;
    return DECODER_NONE;
}

// The JPEG row reader's way into the decoder's parser and kernels.
#include "io/jpeg/jpeg_stb_bridge.inc"
