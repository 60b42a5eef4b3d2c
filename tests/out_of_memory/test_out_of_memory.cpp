// Every out-of-memory path, reached by making one real allocation fail: the
// result is 0 (or a null buffer), the message is exact, no output file is
// left and nothing leaks (the sanitizer build and the valgrind run check the
// last).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "pixels/crop.h"
#include "fail_alloc.h"
#include "fuzz_input.h"
#include "io/image_io.h"
#include "imgthumbnail.h"
#include "pixels/resample.h"
#include "thumbnail/smart_crop.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

std::string message() { return imgthumbnail_last_error(); }

TEST(OutOfMemory, CropBuffer)
{
    Pixels src = gradient(5, 4);
    fail_allocation(1);
    Image out = sub_image(as_image(src), 1, 2, 3, 2);
    stop_failing();
    EXPECT_EQ(out.width, 3);
    EXPECT_EQ(out.height, 2);
    EXPECT_EQ(out.pixels, nullptr);
    EXPECT_EQ(message(), "out of memory for 3x2 crop");
    EXPECT_EQ(src.rgba, gradient(5, 4).rgba); // the source is untouched
}

TEST(OutOfMemory, ResizeBuffers)
{
    Pixels src = gradient(9, 6);
    const struct {
        int fail_at;
        const char *message;
    } cases[] = {
        {1, "out of memory for 7x5 resize"}, // the result
        {2, "out of memory for resize"},     // the work buffer; the result is freed again
    };
    for (const auto &c : cases) {
        fail_allocation(c.fail_at);
        Image out = resize_image(as_image(src), 7, 5);
        stop_failing();
        EXPECT_EQ(out.width, 7);
        EXPECT_EQ(out.height, 5);
        EXPECT_EQ(out.pixels, nullptr);
        EXPECT_EQ(message(), c.message);
    }
}

// The smart crop's working buffers, one at a time: the analysis image (a
// copy, and a reduction), the luminance and energy maps, and the
// summed-area table.
TEST(OutOfMemory, SmartCropBuffers)
{
    for (const int side : {40, 200}) {
        Pixels src = gradient(side, side / 2);
        fail_allocation(1);
        Image analysis = make_analysis_image(as_image(src));
        stop_failing();
        EXPECT_EQ(analysis.pixels, nullptr) << side;
        EXPECT_EQ(message(), "out of memory") << side;
    }
    Pixels small = gradient(30, 20);
    for (const int fail_at : {1, 2}) { // the luminance map, then the energy map
        imgthumbnail_cleanup();
        fail_allocation(fail_at);
        float *energy = make_energy_map(as_image(small));
        stop_failing();
        EXPECT_EQ(energy, nullptr) << fail_at;
        EXPECT_EQ(message(), "out of memory") << fail_at;
        std::free(energy);
    }
    std::vector<float> energy(30 * 20, 1.0f);
    SmartWindow best;
    imgthumbnail_cleanup();
    fail_allocation(1);
    const int ok = find_best_window(energy.data(), 30, 20, 10, 10, &best);
    stop_failing();
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(message(), "out of memory");
}

// Out of memory while saving: no new file is made, and an older thumbnail
// at the path stays byte for byte.
TEST(OutOfMemory, SavingLeavesTheOutputAsItWas)
{
    const std::string dir = scratch_dir();
    Pixels src = gradient(8, 8);
    const struct {
        const char *name;
        const char *message;
    } cases[] = {
        {"t.jpg", "out of memory"}, // the flattened pixels
        {"t.bmp", "out of memory"},
        {"t.png", "cannot encode '%s' (check the extension)"}, // the compressor's buffers
    };
    const std::vector<uint8_t> old_thumb = {'o', 'l', 'd', 0, 0xFF};
    for (const bool existing : {false, true}) {
        for (const auto &c : cases) {
            const std::string path = dir + "/" + c.name;
            if (existing) write_bytes(path, old_thumb);
            fail_allocation(1);
            const int ok = save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT);
            stop_failing();
            EXPECT_EQ(ok, 0) << c.name;
            std::string expected = c.message;
            if (expected.find("%s") != std::string::npos) expected.replace(expected.find("%s"), 2, path);
            EXPECT_EQ(message(), expected) << c.name;
            if (existing) EXPECT_EQ(read_bytes(path), old_thumb) << c.name;
            else EXPECT_FALSE(path_exists(path)) << c.name;
        }
    }
    size_t entries = 0;
    for (const auto &e : fs::directory_iterator(dir)) entries += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 3u); // the three old thumbnails, nothing beside them
}

// Each of the decoder's allocations, for every input format of the seed
// corpus. A failure gives the decoder's reason, "outofmem" as a rule, and an
// empty Image. The decoder's own exceptions: its format probe for JPEG
// allocates, and when that fails it takes the file for no JPEG (a JPEG then
// has "unknown image type", any later format decodes as usual); its zlib
// stream buffer fails without a reason ("unknown error").
//
// PNG files are the library's own reader's: when one of its allocations
// fails, the file goes to the decoder, which decodes it (the same pixels);
// a palette image, which never goes to the decoder, is read again the
// reader's other way.
//
// One failure is left out: when the 8-bit copy of a 16-bit decode cannot be
// allocated (the last allocation of a 16-bit file), the decoder returns
// without freeing the 16-bit pixels. That leak is the decoder's own and is
// listed in the README.
TEST(OutOfMemory, DecoderAllocations)
{
    const std::set<std::string> sixteen_bit = {"png-grey16"};
    // Every PNG: its reader's failures fall back to a way that decodes.
    const auto survives = [](const std::string &name) { return name.rfind("png-", 0) == 0; };
    const std::string dir = scratch_dir();
    const std::string path = dir + "/input";
    const std::set<std::string> reasons = {"outofmem", "unknown image type", "unknown error"};
    const std::string prefix = "cannot decode '" + path + "': ";
    int formats = 0;
    for (const auto &e : fs::directory_iterator(IMGTHUMB_FUZZ_DIR "/corpus")) {
        const std::vector<uint8_t> seed = read_bytes(e.path().string());
        write_bytes(path, std::vector<uint8_t>(seed.begin() + FUZZ_PARAM_BYTES, seed.end()));
        const std::string name = e.path().filename().string();
        Image img;
        fail_allocation(0);
        ASSERT_EQ(load_image(path.c_str(), &img), 1) << name;
        const int allocations = stop_failing();
        const Pixels reference = from_image(img);
        std::free(img.pixels);
        std::set<std::string> seen;
        const int last = sixteen_bit.count(name) ? allocations - 1 : allocations;
        for (int k = 1; k <= last; k++) {
            fail_allocation(k);
            const int ok = load_image(path.c_str(), &img);
            stop_failing();
            if (ok) {
                EXPECT_EQ(from_image(img).rgba, reference.rgba) << name << ", allocation " << k;
                std::free(img.pixels);
                continue;
            }
            EXPECT_EQ(img.pixels, nullptr);
            const std::string m = message();
            ASSERT_EQ(m.rfind(prefix, 0), 0u) << m;
            seen.insert(m.substr(prefix.size()));
        }
        for (const std::string &r : seen) EXPECT_EQ(reasons.count(r), 1u) << name << ": " << r;
        EXPECT_EQ(seen.count("outofmem"), survives(name) ? 0u : 1u) << name;
        formats++;
    }
    EXPECT_GE(formats, 9);
}

// A header that promises a side beyond the library's limit, in a file far
// too small to hold it, is refused before the decoder allocates the image:
// the only allocation is the checks' read buffer.
TEST(OutOfMemory, HugeHeadersAreRefusedBeforeDecoding)
{
    const std::string dir = scratch_dir();
    const std::string path = dir + "/huge";
    const struct {
        const char *file;
        const char *message;
    } cases[] = {
        {IMGTHUMB_FUZZ_DIR "/crashes/tga-colour-mapped-huge-2321cbc5", "image too large: 2048x37085"},
        {IMGTHUMB_FUZZ_DIR "/crashes/bmp-million-rows-eebc8870", "image too large: 12x3997705"},
    };
    for (const auto &c : cases) {
        const std::vector<uint8_t> input = read_bytes(c.file);
        write_bytes(path, std::vector<uint8_t>(input.begin() + FUZZ_PARAM_BYTES, input.end()));
        Image img;
        fail_allocation(0);
        EXPECT_EQ(load_image(path.c_str(), &img), 0) << c.file;
        EXPECT_EQ(stop_failing(), 1) << c.file;
        EXPECT_EQ(message(), c.message);
    }
}

struct Sweep {
    const char *what;
    std::function<int(const char *in, const char *out)> call;
    const char *output;
    std::set<std::string> messages; // every one must be met in the sweep
};

// A whole operation, failing each of its allocations in turn: every failure
// gives 0, one of the messages of the step that failed, and no file. A
// failure the operation can live with (the crop giving back the unused part
// of its buffer) gives the same thumbnail as a run without failures.
TEST(OutOfMemory, EveryAllocationOfAnOperation)
{
    const std::string dir = scratch_dir();
    const std::string in = dir + "/in.png";
    write_png(in, gradient(40, 30));
    // The PNG reader's allocations: when one fails, the file goes to the
    // decoder (whose own allocations the sweep then does not reach), and the
    // thumbnail is the same. The decoder's failures are swept above.
    const Sweep sweeps[] = {
        {"square to JPEG", [](const char *i, const char *o) { return imgthumbnail_square(i, o, 12); }, "t.jpg",
         {"out of memory for 12x12 resize", "out of memory for resize", "out of memory"}},
        {"aspect 16:9 to BMP", [](const char *i, const char *o) { return imgthumbnail_aspect(i, o, 16, 2); }, "t.bmp",
         {"out of memory for 16x9 resize", "out of memory for resize", "out of memory"}},
        {"aspect 4:3 to PNG", [](const char *i, const char *o) { return imgthumbnail_aspect(i, o, 20, 1); }, "t.png",
         {"out of memory for 20x15 resize", "out of memory for resize",
          "cannot encode '" + dir + "/t.png' (check the extension)"}},
        {"square to TGA", [](const char *i, const char *o) { return imgthumbnail_square(i, o, 9); }, "t.tga",
         {"out of memory for 9x9 resize", "out of memory for resize"}},
        {"smart to JPEG", [](const char *i, const char *o) { return imgthumbnail_smart(i, o, 15, 10); }, "t.jpg",
         {"out of memory", "out of memory for 15x10 resize", "out of memory for resize"}},
    };
    for (const Sweep &s : sweeps) {
        const std::string out = dir + "/" + s.output;
        fail_allocation(0);
        ASSERT_EQ(s.call(in.c_str(), out.c_str()), 1) << s.what << ": " << message();
        const int allocations = stop_failing();
        const std::vector<uint8_t> reference = read_bytes(out);
        std::remove(out.c_str());
        std::set<std::string> seen;
        for (int k = 1; k <= allocations; k++) {
            fail_allocation(k);
            const int ok = s.call(in.c_str(), out.c_str());
            stop_failing();
            if (ok) {
                EXPECT_EQ(message(), "") << s.what << ", allocation " << k;
                EXPECT_EQ(read_bytes(out), reference) << s.what << ", allocation " << k;
                std::remove(out.c_str());
                continue;
            }
            seen.insert(message());
            EXPECT_EQ(s.messages.count(message()), 1u) << s.what << ", allocation " << k << ": " << message();
            EXPECT_FALSE(path_exists(out)) << s.what << ", allocation " << k;
        }
        EXPECT_EQ(seen, s.messages) << s.what;
    }
}

} // namespace
