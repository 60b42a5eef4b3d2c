// Reading the EXIF Orientation tag of an input: finding the EXIF bytes in a
// JPEG or PNG file, then the tag in their TIFF structure. Every length and
// offset comes from the file, so each is checked against the bytes actually
// held before it is followed.
#include "io/orientation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/stb_bridge.h"

// TIFF: the byte-order marks, the magic number after them, and the first
// IFD's offset, which must point past the 8-byte header.
static const unsigned char TIFF_LITTLE = 'I';
static const unsigned char TIFF_BIG = 'M';
static const unsigned TIFF_MAGIC = 42;
static const size_t TIFF_HEADER_BYTES = 8;
// An IFD: a 2-byte entry count, then 12-byte entries of tag (2), type (2),
// count (4) and the value itself when it fits in 4 bytes.
static const size_t IFD_COUNT_BYTES = 2;
static const size_t IFD_ENTRY_BYTES = 12;
static const size_t ENTRY_TYPE_AT = 2;
static const size_t ENTRY_COUNT_AT = 4;
static const size_t ENTRY_VALUE_AT = 8;
static const unsigned TAG_ORIENTATION = 274;
static const unsigned TYPE_SHORT = 3;

// JPEG markers: every marker is 0xFF and a code, any number of 0xFF fill
// bytes may come first; the segments before the scan carry a 2-byte length
// that counts itself.
static const int JPEG_MARKER = 0xFF;
static const int JPEG_SOI = 0xD8;
static const int JPEG_EOI = 0xD9;
static const int JPEG_SOS = 0xDA;
static const int JPEG_APP1 = 0xE1;
static const int JPEG_RST0 = 0xD0;
static const int JPEG_RST7 = 0xD7;
static const int JPEG_TEM = 0x01;
static const unsigned JPEG_LENGTH_BYTES = 2;
// An APP1 segment holds EXIF when its payload starts with these six bytes.
static const unsigned char EXIF_HEADER[] = {'E', 'x', 'i', 'f', 0, 0};
static const size_t EXIF_HEADER_BYTES = sizeof EXIF_HEADER;

// PNG: the signature, then chunks of length (4, big-endian), type (4), data
// and a 4-byte CRC. A chunk is at most 2^31 - 1 bytes long.
static const size_t PNG_SIGNATURE_BYTES = 8;
static const size_t PNG_CHUNK_HEAD_BYTES = 8;
static const long PNG_CRC_BYTES = 4;
static const uint32_t PNG_CHUNK_MAX = 0x7FFFFFFFu;

static unsigned read16(const unsigned char *p, bool big)
{
    return big ? (unsigned)(p[0] << 8 | p[1]) : (unsigned)(p[1] << 8 | p[0]);
}

static uint32_t read32(const unsigned char *p, bool big)
{
    return big ? (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]
               : (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

int exif_orientation(const unsigned char *tiff, size_t len)
{
    if (!tiff || len < TIFF_HEADER_BYTES) return ORIENTATION_UPRIGHT;
    if (tiff[0] != tiff[1] || (tiff[0] != TIFF_LITTLE && tiff[0] != TIFF_BIG)) return ORIENTATION_UPRIGHT;
    const bool big = tiff[0] == TIFF_BIG;
    if (read16(tiff + 2, big) != TIFF_MAGIC) return ORIENTATION_UPRIGHT;
    // Only the first IFD describes the image itself (the second one is its
    // preview's), so no link to a next IFD is ever followed.
    const uint32_t ifd = read32(tiff + 4, big);
    if (ifd < TIFF_HEADER_BYTES || ifd > len - IFD_COUNT_BYTES) return ORIENTATION_UPRIGHT;
    const size_t count = read16(tiff + ifd, big);
    // The sizes stay far from overflow: len is at most EXIF_MAX_BYTES in use,
    // and count at most 65535.
    if (count * IFD_ENTRY_BYTES > len - ifd - IFD_COUNT_BYTES) return ORIENTATION_UPRIGHT;
    for (size_t i = 0; i < count; i++) {
        const unsigned char *entry = tiff + ifd + IFD_COUNT_BYTES + i * IFD_ENTRY_BYTES;
        if (read16(entry, big) != TAG_ORIENTATION) continue;
        if (read16(entry + ENTRY_TYPE_AT, big) != TYPE_SHORT || read32(entry + ENTRY_COUNT_AT, big) != 1)
            return ORIENTATION_UPRIGHT;
        // One SHORT sits in the first two bytes of the value field, in the
        // file's byte order.
        const unsigned value = read16(entry + ENTRY_VALUE_AT, big);
        return value >= ORIENTATION_UPRIGHT && value <= ORIENTATION_MAX ? (int)value : ORIENTATION_UPRIGHT;
    }
    return ORIENTATION_UPRIGHT;
}

// The orientation in the next n bytes of f, read into a buffer of their
// own (at most EXIF_MAX_BYTES).
static int orientation_of_bytes(FILE *f, size_t n)
{
    if (n < TIFF_HEADER_BYTES) return ORIENTATION_UPRIGHT;
    unsigned char *buf = (unsigned char *)std::malloc(n);
    if (!buf) return ORIENTATION_UPRIGHT;
    int orientation = ORIENTATION_UPRIGHT;
    if (std::fread(buf, 1, n, f) == n) orientation = exif_orientation(buf, n);
    std::free(buf);
    return orientation;
}

// The code of the next marker, past its fill bytes; -1 where no marker is.
static int next_jpeg_marker(FILE *f)
{
    int c = std::fgetc(f);
    if (c != JPEG_MARKER) return -1;
    while (c == JPEG_MARKER) c = std::fgetc(f);
    return c == EOF ? -1 : c;
}

static int jpeg_orientation(FILE *f)
{
    if (next_jpeg_marker(f) != JPEG_SOI) return ORIENTATION_UPRIGHT;
    for (;;) {
        const int code = next_jpeg_marker(f);
        // The scan, the end, and the markers without a length end the
        // segments that may carry EXIF.
        if (code < 0 || code == JPEG_SOS || code == JPEG_EOI || code == JPEG_SOI || code == JPEG_TEM ||
            (code >= JPEG_RST0 && code <= JPEG_RST7))
            return ORIENTATION_UPRIGHT;
        unsigned char len_bytes[JPEG_LENGTH_BYTES];
        if (std::fread(len_bytes, 1, sizeof len_bytes, f) != sizeof len_bytes) return ORIENTATION_UPRIGHT;
        const unsigned len = read16(len_bytes, true);
        if (len < JPEG_LENGTH_BYTES) return ORIENTATION_UPRIGHT;
        const size_t payload = len - JPEG_LENGTH_BYTES;
        if (code == JPEG_APP1 && payload >= EXIF_HEADER_BYTES) {
            unsigned char head[EXIF_HEADER_BYTES];
            if (std::fread(head, 1, sizeof head, f) != sizeof head) return ORIENTATION_UPRIGHT;
            if (std::memcmp(head, EXIF_HEADER, sizeof head) == 0)
                return orientation_of_bytes(f, payload - EXIF_HEADER_BYTES);
            // Another APP1 (XMP, for one): the rest of it is passed over.
            if (std::fseek(f, (long)(payload - EXIF_HEADER_BYTES), SEEK_CUR) != 0) return ORIENTATION_UPRIGHT;
        } else if (std::fseek(f, (long)payload, SEEK_CUR) != 0) {
            return ORIENTATION_UPRIGHT;
        }
    }
}

static int png_orientation(FILE *f)
{
    if (std::fseek(f, (long)PNG_SIGNATURE_BYTES, SEEK_SET) != 0) return ORIENTATION_UPRIGHT;
    // Writers put eXIf before or after the image data, so every chunk up to
    // IEND is looked at; the data itself is skipped, not read.
    for (;;) {
        unsigned char head[PNG_CHUNK_HEAD_BYTES];
        if (std::fread(head, 1, sizeof head, f) != sizeof head) return ORIENTATION_UPRIGHT;
        const uint32_t len = read32(head, true);
        if (len > PNG_CHUNK_MAX) return ORIENTATION_UPRIGHT;
        if (std::memcmp(head + 4, "eXIf", 4) == 0)
            return orientation_of_bytes(f, len < EXIF_MAX_BYTES ? len : EXIF_MAX_BYTES);
        if (std::memcmp(head + 4, "IEND", 4) == 0) return ORIENTATION_UPRIGHT;
        // Two seeks: on Windows a long holds no more than 2^31 - 1.
        if (std::fseek(f, (long)len, SEEK_CUR) != 0 || std::fseek(f, PNG_CRC_BYTES, SEEK_CUR) != 0)
            return ORIENTATION_UPRIGHT;
    }
}

int input_orientation(InputFile *in)
{
    if (std::fseek(in->file, 0, SEEK_SET) != 0) return ORIENTATION_UPRIGHT;
    // The file is what the decoder takes it for, whatever its name says.
    const DecoderFormat format = stb_decoder_format(in->file);
    int orientation = ORIENTATION_UPRIGHT;
    if (std::fseek(in->file, 0, SEEK_SET) == 0) {
        if (format == DECODER_JPEG) orientation = jpeg_orientation(in->file);
        else if (format == DECODER_PNG) orientation = png_orientation(in->file);
    }
    std::clearerr(in->file);
    return orientation;
}
