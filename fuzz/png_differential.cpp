// Every way of reading a PNG, against the decoder.
#include "png_differential.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <stb/stb_image.h>

#include "imgthumbnail.h"
#include "io/image_io.h"
#include "io/png/png_source.h"
#include "io/row_source.h"
#include "io/stb_bridge.h"

namespace {

struct Decoded {
    bool ok = false;
    int w = 0, h = 0;
    Bytes pixels;
    std::string reason;
};

void write_file(const std::string &path, const Bytes &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) ||
        std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

Decoded stb_result(unsigned char *p, int w, int h)
{
    Decoded d;
    if (!p) {
        const char *r = stbi_failure_reason();
        d.reason = r ? r : "";
        return d;
    }
    d.ok = true;
    d.w = w;
    d.h = h;
    d.pixels.assign(p, p + (size_t)w * h * 4);
    std::free(p);
    return d;
}

Decoded stb_decode(const Bytes &file, const std::string &path)
{
    int w = 0, h = 0, n = 0;
    stb_clear_failure_reason();
    unsigned char *p = stbi_load_from_memory(file.data(), (int)file.size(), &w, &h, &n, 4);
    const Decoded mem = stb_result(p, w, h);
    FILE *f = std::fopen(path.c_str(), "rb");
    stb_clear_failure_reason();
    p = stbi_load_from_file(f, &w, &h, &n, 4);
    const Decoded from_file = stb_result(p, w, h);
    std::fclose(f);
    return mem.ok == from_file.ok && mem.reason == from_file.reason ? mem : from_file;
}

// The decoder's inflate of the reader's gathered IDAT data into a buffer of
// 0xFF bytes: when it differs from the reader's (inflated into zeros), the
// stream copies bytes the decoder never wrote.
bool inflate_reads_unwritten(const PngReader &r)
{
    if (!r.mem_raw || !r.idat) return false;
    Bytes out(r.raw_len + 1, 0xFF);
    const int n = r.cgbi ? stbi_zlib_decode_noheader_buffer((char *)out.data(), (int)r.raw_len,
                                                            (const char *)r.idat, (int)r.idat_total)
                         : stbi_zlib_decode_buffer((char *)out.data(), (int)r.raw_len, (const char *)r.idat,
                                                   (int)r.idat_total);
    return n != (int)r.raw_len || std::memcmp(out.data(), r.mem_raw, r.raw_len) != 0;
}

const unsigned char OPAQUE_BLACK[4] = {0, 0, 0, 255};
// From this many bytes on, an image's buffers may exceed the allocation
// limit of a fuzzing run (256 MiB, tools/fuzz.sh): a decoder then fails,
// with "outofmem" or with no reason at all, for want of memory alone.
const uint64_t LARGE_BUFFER = (uint64_t)128 << 20;
// The longest message kept.
const size_t ERR_TEXT = 511;

// The library's wording of a decoder reason: bytes outside printable ASCII
// as \xHH, no reason at all as "unknown error".
std::string printable(const std::string &reason)
{
    if (reason.empty()) return "unknown error";
    std::string out;
    char hex[8];
    for (unsigned char c : reason) {
        if (c >= 0x20 && c <= 0x7e) {
            out += (char)c;
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

// The reader's pixels against the decoder's. Where a palette image has
// entries no PLTE filled, the decoder's pixels of those indices are its
// stack's and the reader's opaque black.
std::string compare_pixels(const Decoded &stb, const unsigned char *pixels, int w, int h, bool short_palette)
{
    if (w != stb.w || h != stb.h) return "size differs";
    for (size_t i = 0; i < stb.pixels.size(); i += 4) {
        // The reader's black first: the decoder's stack bytes are not
        // looked at (valgrind counts that as a use of uninitialised memory).
        if (short_palette && std::memcmp(pixels + i, OPAQUE_BLACK, 4) == 0) continue;
        if (std::memcmp(pixels + i, stb.pixels.data() + i, 4) == 0) continue;
        return "pixel " + std::to_string(i / 4) + " differs";
    }
    return "";
}

} // namespace

DifferentialResult png_differential(const Bytes &file, const std::string &path)
{
    DifferentialResult res{PNG_DOUBT, PNG_DOUBT, false, false, false, ""};
    write_file(path, file);
    const Decoded stb = stb_decode(file, path);
    res.stb_ok = stb.ok;
    // A decoder short of memory (an allocation limit) says nothing of the file.
    res.stb_out_of_memory = !stb.ok && stb.reason == "outofmem";
    if (res.stb_out_of_memory) return res;
    bool unwritten = false;
    auto disagree = [&](const std::string &what) {
        if (res.failure.empty()) res.failure = what;
    };
    bool short_palette = false, palette = false;
    // The reader, both ways of inflating.
    for (int mem = 0; mem < 2; mem++) {
        if (res.stb_out_of_memory) break;
        FILE *f = std::fopen(path.c_str(), "rb");
        std::unique_ptr<PngReader> r(new PngReader);
        Image img{0, 0, nullptr};
        const int v = png_read_whole(r.get(), f, mem != 0, IMGTHUMBNAIL_MAX_INPUT_SIDE, &img);
        (mem ? res.in_memory : res.streamed) = v;
        palette = r->header_done && r->colour == 3;
        if (!stb.ok && r->header_done && (uint64_t)r->width * r->height * 8 >= LARGE_BUFFER) {
            res.stb_out_of_memory = true;
            png_reader_end(r.get());
            std::fclose(f);
            break;
        }
        // The decoder's own verdict then rests on its heap's bytes too.
        if (mem && v != PNG_DOUBT) unwritten = inflate_reads_unwritten(*r);
        if (mem && unwritten) {
            std::free(img.pixels);
            png_reader_end(r.get());
            std::fclose(f);
            continue;
        }
        short_palette = palette && r->palette_filled < PNG_PALETTE_ENTRIES;
        const std::string way = mem ? "in memory: " : "streamed: ";
        const std::string reason = png_reader_reason(*r);
        if (v == PNG_OK && !stb.ok) disagree(way + "the reader decodes, the decoder says '" + stb.reason + "'");
        if (v == PNG_FAILED && stb.ok) disagree(way + "the reader refuses ('" + reason + "')");
        if (v == PNG_FAILED && !stb.ok && stb.reason != reason)
            disagree(way + "reasons differ: reader '" + reason + "', decoder '" + stb.reason + "'");
        if (v == PNG_OK && stb.ok && img.pixels) {
            const std::string d = compare_pixels(stb, img.pixels, img.width, img.height, short_palette);
            if (!d.empty()) disagree(way + d);
        }
        std::free(img.pixels);
        png_reader_end(r.get());
        std::fclose(f);
    }
    if (res.stb_out_of_memory) return res;
    // The row way, every row whole.
    {
        InputFile in{std::fopen(path.c_str(), "rb"), path.c_str(), false};
        RowSource src;
        if (row_source_open(&in, &src)) {
            Bytes pixels((size_t)src.width * src.height * 4);
            bool whole = true;
            for (int32_t y = 0; y < src.height && whole; y++)
                whole = row_source_next(&src, pixels.data() + (size_t)y * src.width * 4, 0, src.width) != 0;
            res.rows = whole && row_source_finish(&src);
            if (res.rows && !stb.ok) disagree("rows: the reader decodes, the decoder says '" + stb.reason + "'");
            if (res.rows && stb.ok) {
                const std::string d = compare_pixels(stb, pixels.data(), src.width, src.height, short_palette);
                if (!d.empty()) disagree("rows: " + d);
            }
        }
        row_source_close(&src);
        close_input(&in);
    }
    // The library's loading, message and all.
    if (!unwritten) {
        Image img{0, 0, nullptr};
        const int ok = load_image(path.c_str(), &img);
        const std::string msg = imgthumbnail_last_error();
        const bool expected = stb.ok && stb.w <= IMGTHUMBNAIL_MAX_INPUT_SIDE && stb.h <= IMGTHUMBNAIL_MAX_INPUT_SIDE;
        if (ok != (int)expected) disagree("load_image: " + (ok ? std::string("decodes") : "refuses: " + msg));
        if (!ok && !stb.ok && msg != ("cannot decode '" + path + "': " + printable(stb.reason)).substr(0, ERR_TEXT))
            disagree("load_image: message '" + msg + "', decoder '" + stb.reason + "'");
        if (ok && stb.ok) {
            const std::string d = compare_pixels(stb, img.pixels, img.width, img.height, short_palette);
            if (!d.empty()) disagree("load_image: " + d);
        }
        std::free(img.pixels);
    }
    return res;
}
