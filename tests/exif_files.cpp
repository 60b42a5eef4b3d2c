// Files that carry an EXIF Orientation tag, built byte by byte.
#include "exif_files.h"

#include <gtest/gtest.h>

namespace {

const uint16_t TAG_MAKE = 271, TAG_ORIENTATION = 274, TAG_SOFTWARE = 305;
const uint16_t TYPE_ASCII = 2, TYPE_SHORT = 3;
// The PNG signature and IHDR chunk (8 + 25 bytes) come before anything else.
const size_t PNG_AFTER_IHDR = 33;
const size_t PNG_IEND_BYTES = 12;
const size_t JPEG_AFTER_SOI = 2;

void put16(std::vector<uint8_t> &b, size_t at, uint32_t v, bool big)
{
    b[at + (big ? 0 : 1)] = (uint8_t)(v >> 8);
    b[at + (big ? 1 : 0)] = (uint8_t)v;
}

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v, bool big)
{
    for (int i = 0; i < 4; i++) b[at + (big ? i : 3 - i)] = (uint8_t)(v >> (24 - 8 * i));
}

uint32_t crc32(const uint8_t *p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        c ^= p[i];
        for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

} // namespace

std::vector<uint8_t> tiff_bytes(bool big, const std::vector<TiffEntry> &entries, uint32_t ifd_at, uint32_t next_ifd)
{
    std::vector<uint8_t> b(ifd_at + 2 + entries.size() * 12 + 4, 0);
    b[0] = b[1] = big ? 'M' : 'I';
    put16(b, 2, 42, big);
    put32(b, 4, ifd_at, big);
    put16(b, ifd_at, (uint32_t)entries.size(), big);
    for (size_t i = 0; i < entries.size(); i++) {
        const size_t e = ifd_at + 2 + i * 12;
        put16(b, e, entries[i].tag, big);
        put16(b, e + 2, entries[i].type, big);
        put32(b, e + 4, entries[i].count, big);
        // A SHORT sits in the value field's first two bytes.
        if (entries[i].type == TYPE_SHORT && entries[i].count == 1) put16(b, e + 8, entries[i].value, big);
        else put32(b, e + 8, entries[i].value, big);
    }
    put32(b, ifd_at + 2 + entries.size() * 12, next_ifd, big);
    return b;
}

std::vector<uint8_t> tiff_with_orientation(bool big, int value)
{
    // Make and Software point at (absent) text: only their entries matter.
    return tiff_bytes(big, {{TAG_MAKE, TYPE_ASCII, 6, 100},
                            {TAG_ORIENTATION, TYPE_SHORT, 1, (uint32_t)value},
                            {TAG_SOFTWARE, TYPE_ASCII, 8, 200}});
}

void insert_bytes(const std::string &path, size_t offset, const std::vector<uint8_t> &bytes)
{
    std::vector<uint8_t> file = read_bytes(path);
    ASSERT_GE(file.size(), offset) << path;
    file.insert(file.begin() + (std::ptrdiff_t)offset, bytes.begin(), bytes.end());
    write_bytes(path, file);
}

std::vector<uint8_t> png_chunk(const char *type, const std::vector<uint8_t> &data)
{
    std::vector<uint8_t> c(12 + data.size());
    put32(c, 0, (uint32_t)data.size(), true);
    for (int i = 0; i < 4; i++) c[4 + i] = (uint8_t)type[i];
    std::copy(data.begin(), data.end(), c.begin() + 8);
    put32(c, 8 + data.size(), crc32(&c[4], 4 + data.size()), true);
    return c;
}

void write_png_with_exif(const std::string &path, const Pixels &p, const std::vector<uint8_t> &tiff, bool after_data)
{
    write_png(path, p);
    const size_t at = after_data ? read_bytes(path).size() - PNG_IEND_BYTES : PNG_AFTER_IHDR;
    insert_bytes(path, at, png_chunk("eXIf", tiff));
}

void write_jpg_with_exif(const std::string &path, const Pixels &p, const std::vector<uint8_t> &tiff)
{
    write_jpg(path, p);
    std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    put16(app1, 2, (uint32_t)(app1.size() - 2), true);
    insert_bytes(path, JPEG_AFTER_SOI, app1);
}

Pixels turn_clockwise(const Pixels &s)
{
    return make_pixels(s.h, s.w, [&](int x, int y) {
        const uint8_t *q = s.at(y, s.h - 1 - x);
        return std::array<int, 4>{q[0], q[1], q[2], q[3]};
    });
}

Pixels mirror(const Pixels &s)
{
    return make_pixels(s.w, s.h, [&](int x, int y) {
        const uint8_t *q = s.at(s.w - 1 - x, y);
        return std::array<int, 4>{q[0], q[1], q[2], q[3]};
    });
}

Pixels upright_by_name(const Pixels &s, int orientation)
{
    switch (orientation) {
    case 2: return mirror(s);                                                 // mirrored left to right
    case 3: return turn_clockwise(turn_clockwise(s));                         // half a turn
    case 4: return mirror(turn_clockwise(turn_clockwise(s)));                 // mirrored top to bottom
    case 5: return turn_clockwise(mirror(turn_clockwise(turn_clockwise(s)))); // across the main diagonal
    case 6: return turn_clockwise(s);                                         // a quarter clockwise
    case 7: return turn_clockwise(mirror(s));                                 // across the other diagonal
    case 8: return turn_clockwise(turn_clockwise(turn_clockwise(s)));         // a quarter anticlockwise
    default: return s;
    }
}
