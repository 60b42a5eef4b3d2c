// The EXIF Orientation tag: the TIFF parse on crafted bytes (both byte
// orders, damage of every kind, which must all mean "upright"), finding it in
// JPEG and PNG files, and the eight pixel moves against the turns and
// mirrors they are named after.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "exif_files.h"
#include "fuzz_input.h"
#include "io/image_io.h"
#include "io/orientation.h"
#include "pixels/orient.h"
#include "support.h"

namespace {

const uint16_t MAKE = 271, ORIENTATION = 274, SOFTWARE = 305, WIDTH = 256, HEIGHT = 257;
const uint16_t ASCII = 2, SHORT = 3, LONG = 4;

int parse(const std::vector<uint8_t> &b)
{
    return exif_orientation(b.data(), b.size());
}

std::vector<uint8_t> cut(std::vector<uint8_t> b, size_t n)
{
    b.resize(n);
    return b;
}

TEST(ExifOrientation, ReadsTheTagInEitherByteOrder)
{
    for (bool big : {false, true})
        for (int v = 1; v <= 8; v++) EXPECT_EQ(parse(tiff_with_orientation(big, v)), v) << big << " " << v;
    // The tag as the only entry, and after others, at an IFD further in.
    EXPECT_EQ(parse(tiff_bytes(false, {{ORIENTATION, SHORT, 1, 6}})), 6);
    EXPECT_EQ(parse(tiff_bytes(true, {{WIDTH, LONG, 1, 640}, {HEIGHT, LONG, 1, 480}, {ORIENTATION, SHORT, 1, 8}},
                               40)),
              8);
    // The first of two Orientation entries counts.
    EXPECT_EQ(parse(tiff_bytes(false, {{ORIENTATION, SHORT, 1, 3}, {ORIENTATION, SHORT, 1, 6}})), 3);
    // Cut right after the entry that holds the tag: every byte read is there.
    const std::vector<uint8_t> whole = tiff_bytes(true, {{MAKE, ASCII, 6, 100}, {ORIENTATION, SHORT, 1, 5}});
    EXPECT_EQ(parse(cut(whole, 8 + 2 + 2 * 12)), 5);
}

TEST(ExifOrientation, AnythingWrongMeansUpright)
{
    const std::vector<uint8_t> good = tiff_with_orientation(false, 6);
    std::vector<uint8_t> mixed = good, magic = good, far = good, early = good, zero = good, many = good;
    mixed[1] = 'M';
    magic[2] = 43;
    far[4] = 0xF0; // the IFD's offset points past the end
    early[4] = 4;  // ... or into the header
    zero[4] = 0;
    many[8] = 4; // four entries claimed, three there (and the link)
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"header cut short", cut(good, 7)},
        {"no IFD count", cut(good, 9)},
        {"entries cut short", cut(good, 8 + 2 + 2 * 12 + 11)},
        {"mixed byte-order mark", mixed},
        {"not a byte-order mark", {'X', 'X', 42, 0, 8, 0, 0, 0, 0, 0}},
        {"magic 43", magic},
        {"IFD past the end", far},
        {"IFD inside the header", early},
        {"IFD at 0", zero},
        {"count past the end", many},
        {"tag missing", tiff_bytes(false, {{MAKE, ASCII, 6, 100}, {SOFTWARE, ASCII, 8, 200}})},
        {"no entries", tiff_bytes(true, {})},
        {"value 0", tiff_with_orientation(false, 0)},
        {"value 9", tiff_with_orientation(true, 9)},
        {"value 0xFFFF", tiff_with_orientation(false, 0xFFFF)},
        {"type LONG", tiff_bytes(false, {{ORIENTATION, LONG, 1, 6}})},
        {"type ASCII", tiff_bytes(true, {{ORIENTATION, ASCII, 1, 6}})},
        {"count 2", tiff_bytes(false, {{ORIENTATION, SHORT, 2, 6}})},
        {"count 0", tiff_bytes(true, {{ORIENTATION, SHORT, 0, 6}})},
        // Only the first IFD describes the image: a link to itself ends
        // nothing, and the next IFD's tag (the preview's) does not count.
        {"IFD linked to itself", tiff_bytes(false, {{MAKE, ASCII, 6, 100}}, 8, 8)},
        {"tag in the second IFD only", [] {
             std::vector<uint8_t> b = tiff_bytes(false, {{MAKE, ASCII, 6, 100}}, 8, 26);
             const std::vector<uint8_t> second = tiff_bytes(false, {{ORIENTATION, SHORT, 1, 6}});
             b.insert(b.end(), second.begin() + 8, second.end());
             return b;
         }()},
    };
    for (const Case &c : cases) EXPECT_EQ(parse(c.bytes), ORIENTATION_UPRIGHT) << c.what;
    EXPECT_EQ(exif_orientation(nullptr, 100), ORIENTATION_UPRIGHT);
    // Big-endian bytes read as little-endian: value 0x0600, out of range.
    std::vector<uint8_t> swapped = tiff_with_orientation(true, 6);
    swapped[0] = swapped[1] = 'I';
    swapped[2] = 42;
    swapped[3] = 0;
    swapped[4] = 8;
    swapped[7] = 0;
    EXPECT_EQ(parse(swapped), ORIENTATION_UPRIGHT);
}

int orientation_of(const std::string &path)
{
    InputFile in;
    if (!open_input(path.c_str(), &in)) return -1;
    const int o = input_orientation(&in);
    close_input(&in);
    return o;
}

TEST(ExifOrientation, FoundInJpegSegmentsAndPngChunks)
{
    const std::string dir = scratch_dir();
    const Pixels p = gradient(20, 12);
    write_jpg_with_exif(dir + "/six.jpg", p, tiff_with_orientation(false, 6));
    EXPECT_EQ(orientation_of(dir + "/six.jpg"), 6);
    write_png_with_exif(dir + "/eight.png", p, tiff_with_orientation(true, 8));
    EXPECT_EQ(orientation_of(dir + "/eight.png"), 8);
    write_png_with_exif(dir + "/late.png", p, tiff_with_orientation(false, 3), true);
    EXPECT_EQ(orientation_of(dir + "/late.png"), 3) << "eXIf after the image data";

    // An XMP APP1 before the EXIF one, a fill byte before its marker.
    write_jpg_with_exif(dir + "/xmp.jpg", p, tiff_with_orientation(true, 7));
    static const char XMP[] = "http://ns.adobe.com/xap/1.0/"; // with its NUL
    std::vector<uint8_t> seg(5 + sizeof XMP);
    seg[0] = seg[1] = 0xFF;
    seg[2] = 0xE1;
    seg[4] = (uint8_t)(2 + sizeof XMP);
    std::memcpy(&seg[5], XMP, sizeof XMP);
    insert_bytes(dir + "/xmp.jpg", 2, seg);
    EXPECT_EQ(orientation_of(dir + "/xmp.jpg"), 7);

    // No tag, or a tag where none is looked for.
    write_jpg(dir + "/plain.jpg", p);
    write_png(dir + "/plain.png", p);
    EXPECT_EQ(orientation_of(dir + "/plain.jpg"), 1);
    EXPECT_EQ(orientation_of(dir + "/plain.png"), 1);
    // An APP1 "Exif" after the scan has begun is image data, not a segment.
    std::vector<uint8_t> jpg = read_bytes(dir + "/plain.jpg");
    std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    const std::vector<uint8_t> t = tiff_with_orientation(false, 6);
    app1.insert(app1.end(), t.begin(), t.end());
    app1[3] = (uint8_t)(app1.size() - 2);
    jpg.insert(jpg.end() - 2, app1.begin(), app1.end());
    write_bytes(dir + "/in-scan.jpg", jpg);
    EXPECT_EQ(orientation_of(dir + "/in-scan.jpg"), 1);
}

TEST(ExifOrientation, DamagedContainersMeanUpright)
{
    const std::string dir = scratch_dir();
    const Pixels p = gradient(16, 9);
    // An EXIF segment whose length runs past the end of the file.
    write_jpg(dir + "/long.jpg", p);
    insert_bytes(dir + "/long.jpg", 2, {0xFF, 0xE1, 0xFF, 0xF0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0});
    // A segment length below its own two bytes.
    write_jpg(dir + "/short.jpg", p);
    insert_bytes(dir + "/short.jpg", 2, {0xFF, 0xE1, 0, 1});
    // An eXIf chunk that claims 2 GB, and one of 3 bytes.
    write_png(dir + "/huge.png", p);
    insert_bytes(dir + "/huge.png", 33, {0x7F, 0xFF, 0xFF, 0xFF, 'e', 'X', 'I', 'f', 'M', 'M', 0, 42});
    write_png(dir + "/tiny.png", p);
    insert_bytes(dir + "/tiny.png", 33, png_chunk("eXIf", {'I', 'I', 42}));
    for (const char *name : {"/long.jpg", "/short.jpg", "/huge.png", "/tiny.png"}) {
        const int o = orientation_of(dir + name);
        EXPECT_TRUE(o == 1 || o == -1) << name << ": " << o; // -1: the checks before decoding refused it
    }
    // Other formats carry no tag.
    Pixels small = gradient(3, 2);
    ASSERT_EQ(save_image((dir + "/t.tga").c_str(), as_image(small), JPEG_QUALITY_DEFAULT), 1);
    EXPECT_EQ(orientation_of(dir + "/t.tga"), 1);
}

TEST(ExifOrientation, TheFuzzSeedsCarryTheirTags)
{
    // The seeds that lead the fuzzer into the reader hold what their names say.
    const std::string dir = scratch_dir();
    const struct {
        const char *name;
        int orientation;
    } seeds[] = {{"jpeg-exif-6", 6}, {"jpeg-exif-8", 8}, {"png-exif-5", 5}, {"png-exif-late-3", 3}};
    for (const auto &s : seeds) {
        std::vector<uint8_t> bytes = read_bytes(std::string(IMGTHUMB_FUZZ_DIR) + "/corpus/" + s.name);
        ASSERT_GT(bytes.size(), FUZZ_PARAM_BYTES) << s.name;
        bytes.erase(bytes.begin(), bytes.begin() + FUZZ_PARAM_BYTES);
        write_bytes(dir + "/" + s.name, bytes);
        EXPECT_EQ(orientation_of(dir + "/" + s.name), s.orientation) << s.name;
    }
}

TEST(OrientImage, EachOrientationIsTheMoveItNames)
{
    // Every pixel different: its position in red and green.
    Pixels stored = make_pixels(5, 3, [](int x, int y) { return std::array<int, 4>{x * 40, y * 80, 7, 255 - x - y}; });
    for (int o = 1; o <= 8; o++) {
        Image got = orient_image(as_image(stored), o);
        ASSERT_NE(got.pixels, nullptr);
        const Pixels want = upright_by_name(stored, o);
        EXPECT_EQ(got.width, want.w) << o;
        EXPECT_EQ(got.height, want.h) << o;
        int32_t ow = 0, oh = 0;
        oriented_size(stored.w, stored.h, o, &ow, &oh);
        EXPECT_EQ(ow, want.w) << o;
        EXPECT_EQ(oh, want.h) << o;
        EXPECT_EQ(from_image(got).rgba, want.rgba) << "orientation " << o;
        std::free(got.pixels);
    }
    // The camera's own words for 6: the stored top row is the picture's
    // right-hand column, the stored left column its top row.
    Pixels ab = make_pixels(3, 2, [](int x, int y) { return std::array<int, 4>{y * 3 + x, 0, 0, 255}; });
    Image six = orient_image(as_image(ab), 6);
    ASSERT_NE(six.pixels, nullptr);
    const Pixels got = from_image(six);
    std::free(six.pixels);
    ASSERT_EQ(got.w, 2);
    ASSERT_EQ(got.h, 3);
    // stored: 0 1 2 / 3 4 5  ->  upright: 3 0 / 4 1 / 5 2
    const int want[3][2] = {{3, 0}, {4, 1}, {5, 2}};
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 2; x++) EXPECT_EQ(got.at(x, y)[0], want[y][x]) << x << "," << y;
}

} // namespace
