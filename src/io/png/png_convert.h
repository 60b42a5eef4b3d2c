// PNG samples to 8-bit RGBA, as the decoder converts them when asked for
// four channels: 16-bit samples keep their high byte; grey samples of 1, 2
// and 4 bits are spread over 0..255 (those of other colour types keep their
// values); a grey or RGB tRNS value makes matching pixels clear (compared
// in 16 bits at 16 bits a sample, else with the decoder's 8-bit value of
// it); a palette index takes its entry, black and opaque past the PLTE.
#pragma once

#include <cstdint>

#include "io/png/png_reader.h"

// Pixels [x0, x0 + n) of one unfiltered row of the reader's image into dst
// (n * 4 bytes), colours from palette (the reader's, or a copy of it).
void png_convert_row(const PngReader &r, const unsigned char *palette, const unsigned char *row, uint32_t x0,
                     uint32_t n, unsigned char *dst);
