// The JPEG row reader against the decoder (see jpeg_differential.h).
#include "jpeg_differential.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <stb/stb_image.h>

#include "imgthumbnail.h"
#include "io/image_io.h"
#include "io/row_source.h"
#include "io/stb_bridge.h"

namespace {

const int RGBA = 4;

// What the decoder alone makes of the file.
struct Reference {
    unsigned char *pixels; // null when it fails
    int w, h;
    std::string reason;
};

Reference decode_alone(const uint8_t *data, size_t size)
{
    Reference r{nullptr, 0, 0, ""};
    int n = 0;
    stb_clear_failure_reason();
    r.pixels = stbi_load_from_memory(data, (int)size, &r.w, &r.h, &n, RGBA);
    if (!r.pixels) r.reason = stbi_failure_reason() ? stbi_failure_reason() : "unknown error";
    return r;
}

// Fills and frees blocks of the sizes the decoder's small buffers have, so
// that memory it takes without writing holds value next time (larger
// blocks come fresh and zeroed from the system).
void stir_heap(unsigned char value)
{
    const size_t SMALLEST = 16, LARGEST = 65536;
    const int PER_SIZE = 4;
    std::vector<void *> blocks;
    for (size_t size = SMALLEST; size <= LARGEST; size *= 2)
        for (int k = 0; k < PER_SIZE; k++) {
            const size_t n = size + k * size / PER_SIZE;
            void *b = std::malloc(n);
            if (b) std::memset(b, value, n);
            blocks.push_back(b);
        }
    while (!blocks.empty()) {
        std::free(blocks.back());
        blocks.pop_back();
    }
}

// False when the decoder's result on the file depends on what its memory
// held before (it reads buffers it never wrote: tables the file never
// defines, planes of blocks it never decodes): two decodings over
// different leftovers then differ.
bool decoder_stable(const uint8_t *data, size_t size)
{
    stir_heap(0x00);
    Reference a = decode_alone(data, size);
    stir_heap(0xFF);
    Reference b = decode_alone(data, size);
    const bool same = (a.pixels != nullptr) == (b.pixels != nullptr) && a.reason == b.reason &&
                      (!a.pixels || (a.w == b.w && a.h == b.h &&
                                     std::memcmp(a.pixels, b.pixels, (size_t)a.w * a.h * RGBA) == 0));
    stbi_image_free(a.pixels);
    stbi_image_free(b.pixels);
    return same;
}

// The message decode_input must give, or "" when it must give the pixels.
std::string expected_message(const Reference &ref, const std::string &path)
{
    if (!ref.pixels) return "cannot decode '" + path + "': " + ref.reason;
    if (ref.w > IMGTHUMBNAIL_MAX_INPUT_SIDE || ref.h > IMGTHUMBNAIL_MAX_INPUT_SIDE)
        return "image too large: " + std::to_string(ref.w) + "x" + std::to_string(ref.h);
    return "";
}

std::string check_decode_input(const Reference &ref, const std::string &path)
{
    InputFile in;
    if (!open_input(path.c_str(), &in)) return "the checks let the file through once, not twice";
    Image img;
    const int ok = decode_input(&in, &img);
    close_input(&in);
    const std::string want = expected_message(ref, path);
    std::string mismatch;
    if (!ok) {
        if (want.empty()) mismatch = std::string("decode_input failed (") + imgthumbnail_last_error() + "), the decoder did not";
        else if (want != imgthumbnail_last_error())
            mismatch = "decode_input says \"" + std::string(imgthumbnail_last_error()) + "\", not \"" + want + "\"";
    } else if (!want.empty()) {
        mismatch = "decode_input decoded the file, the decoder says \"" + want + "\"";
    } else if (img.width != ref.w || img.height != ref.h ||
               std::memcmp(img.pixels, ref.pixels, (size_t)ref.w * ref.h * RGBA) != 0) {
        mismatch = "decode_input's pixels differ from the decoder's";
    }
    std::free(img.pixels);
    return mismatch;
}

// Wanted rows and columns from a seed: runs of either, about half wanted.
void choose_wanted(unsigned seed, std::vector<unsigned char> *rows, std::vector<unsigned char> *cols)
{
    uint32_t s = seed * 2654435761u + 1;
    for (std::vector<unsigned char> *v : {rows, cols}) {
        size_t i = 0;
        bool on = (seed & 1) != 0;
        while (i < v->size()) {
            s = s * 1103515245u + 12345u;
            const size_t run = 1 + (s >> 16) % 23;
            for (size_t k = 0; k < run && i < v->size(); k++, i++) (*v)[i] = on;
            on = !on;
        }
    }
}

// The reader's rows, each compared with the decoder's as it comes (the
// image is never held twice: a header may promise far more pixels than
// the file holds).
std::string check_reader(const Reference &ref, const std::string &path, unsigned mask_seed, bool *took)
{
    *took = false;
    InputFile in;
    if (!open_input(path.c_str(), &in)) return "the checks let the file through once, not twice";
    RowSource src;
    if (!row_source_open(&in, &src)) {
        close_input(&in);
        return "";
    }
    const int32_t w = src.width, h = src.height;
    std::vector<unsigned char> rows((size_t)h, 1), cols((size_t)w, 1);
    if (mask_seed) {
        choose_wanted(mask_seed, &rows, &cols);
        row_source_want(&src, rows.data(), cols.data());
    }
    const bool same_size = ref.pixels && ref.w == w && ref.h == h;
    std::vector<unsigned char> row((size_t)w * RGBA);
    std::string first_difference;
    bool whole = true;
    for (int32_t y = 0; y < h && whole; y++) {
        whole = row_source_next(&src, rows[y] ? row.data() : nullptr, 0, w) != 0;
        if (!whole || !rows[y] || !same_size || !first_difference.empty()) continue;
        const unsigned char *want = ref.pixels + (size_t)y * w * RGBA;
        for (int32_t x = 0; x < w && first_difference.empty(); x++)
            if (cols[x] && std::memcmp(row.data() + (size_t)x * RGBA, want + (size_t)x * RGBA, RGBA) != 0)
                first_difference = "the row reader's pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                   ") differs from the decoder's";
    }
    whole = whole && row_source_finish(&src);
    row_source_close(&src);
    close_input(&in);
    if (!whole) return "";
    *took = true;
    if (!ref.pixels) return "the row reader decoded a file the decoder refuses (" + ref.reason + ")";
    if (!same_size) return "the row reader's size differs from the decoder's";
    return first_difference;
}

} // namespace

JpegComparison compare_jpeg_decoders(const std::string &path, const uint8_t *data, size_t size, unsigned mask_seed)
{
    JpegComparison c{false, false, false, ""};
    // The decoder is only ever given what the checks let through (they
    // refuse files that would make it write out of bounds).
    InputFile in;
    if (!open_input(path.c_str(), &in)) return c;
    const bool jpeg = std::fseek(in.file, 0, SEEK_SET) == 0 && stb_decoder_format(in.file) == DECODER_JPEG;
    close_input(&in);
    if (!jpeg) return c;
    c.checked = true;
    Reference ref = decode_alone(data, size);
    c.mismatch = check_reader(ref, path, mask_seed, &c.reader_took);
    // What the reader takes, the decoder decodes from the file alone.
    if (c.mismatch.empty() && c.reader_took && !decoder_stable(data, size))
        c.mismatch = "the row reader took a file that the decoder decodes from memory it never wrote";
    if (c.mismatch.empty()) {
        // A file the reader leaves goes to the decoder through decode_input
        // too; on a file it decodes from whatever its memory held, two of
        // its decodings need not agree.
        const std::string m = check_decode_input(ref, path);
        if (!m.empty() && (c.reader_took || decoder_stable(data, size))) c.mismatch = m;
        c.decoder_unstable = !m.empty() && c.mismatch.empty();
    }
    stbi_image_free(ref.pixels);
    return c;
}
