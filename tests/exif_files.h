// Test fixtures that carry an EXIF Orientation tag: the TIFF bytes
// themselves, and PNG and JPEG files written with them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support.h"

// One IFD entry: tag, type, count and the 4-byte value field (a SHORT value
// in its first two bytes).
struct TiffEntry {
    uint16_t tag, type;
    uint32_t count;
    uint32_t value;
};

// A TIFF structure: the header ("II" or "MM", 42, the first IFD's offset),
// then, at that offset, the IFD with its entries and the next-IFD link.
// The IFD is placed at ifd_at (8 when the header ends there).
std::vector<uint8_t> tiff_bytes(bool big, const std::vector<TiffEntry> &entries, uint32_t ifd_at = 8,
                                uint32_t next_ifd = 0);

// The TIFF of a camera: Make, then Orientation = value, then Software.
std::vector<uint8_t> tiff_with_orientation(bool big, int value);

// p as a PNG with an eXIf chunk holding tiff, before the image data or after
// it.
void write_png_with_exif(const std::string &path, const Pixels &p, const std::vector<uint8_t> &tiff,
                         bool after_data = false);

// p as a JPEG (quality 95) with an APP1 "Exif" segment holding tiff right
// after the start of image.
void write_jpg_with_exif(const std::string &path, const Pixels &p, const std::vector<uint8_t> &tiff);

// Inserts bytes into the file at offset.
void insert_bytes(const std::string &path, size_t offset, const std::vector<uint8_t> &bytes);

// A PNG chunk of the given type and data, its CRC included.
std::vector<uint8_t> png_chunk(const char *type, const std::vector<uint8_t> &data);

// The upright picture of pixels stored with orientation 1..8, as the
// orientations are named: built from a quarter turn clockwise and a mirror
// left to right (the library's own moves are written another way).
Pixels turn_clockwise(const Pixels &s);
Pixels mirror(const Pixels &s);
Pixels upright_by_name(const Pixels &s, int orientation);
