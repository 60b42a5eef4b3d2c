// The EXIF Orientation tag: how the stored pixels of a photograph relate to
// the picture upright. Cameras store the sensor's rows as they come and name
// the turn in this tag (TIFF tag 274 in the first IFD) instead of moving the
// pixels. It is read from a JPEG's APP1 "Exif" segment or a PNG's eXIf
// chunk; nothing in it can make a call fail: a missing, damaged or unknown
// tag means the pixels are stored upright.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/image_io.h"

// The TIFF values: 1 upright, 2 mirrored left to right, 3 turned half way,
// 4 mirrored top to bottom, 5 mirrored across the main diagonal, 6 to be
// turned a quarter clockwise, 7 mirrored across the other diagonal, 8 to be
// turned a quarter anticlockwise.
constexpr int ORIENTATION_UPRIGHT = 1;
constexpr int ORIENTATION_MAX = 8;

// Most EXIF bytes read: a JPEG segment's payload cannot be longer, and a
// PNG chunk is read only this far (its first IFD comes first in practice).
constexpr size_t EXIF_MAX_BYTES = 65535;

// The orientation in a TIFF structure of len bytes (EXIF's payload, from its
// byte-order mark "II" or "MM"): the first entry of tag 274 in the first IFD,
// of type SHORT and count 1, with a value of 1..8. Every read stays inside
// the len bytes; anything else gives ORIENTATION_UPRIGHT.
int exif_orientation(const unsigned char *tiff, size_t len);

// The orientation of an open input: the first APP1 "Exif" segment before a
// JPEG's scan, or the first eXIf chunk of a PNG; ORIENTATION_UPRIGHT for
// every other file and for one that cannot be read that far. Writes no
// message; the file's position is left anywhere (decoding rewinds it).
int input_orientation(InputFile *in);
