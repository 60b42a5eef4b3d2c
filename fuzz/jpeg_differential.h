// The JPEG row reader against the decoder itself, on any file: the one
// comparison that the differential tests and the JPEG fuzz target make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct JpegComparison {
    bool checked;          // the checks before decoding let the file through, so it was compared
    bool reader_took;      // the row reader took the file and read all of it
    bool decoder_unstable; // the decoder's own decodings of the file differ (it reads memory it never wrote)
    std::string mismatch;  // empty when everything agreed; else what did not
};

// The file at path, whose bytes are data, decoded three ways:
// - by the decoder alone, from memory (stbi_load_from_memory, RGBA);
// - through decode_input, the library's whole-image decoding, which must
//   give the decoder's pixels, or fail with the decoder's reason (or the
//   library's size limit) in its message; except on files that the reader
//   leaves to the decoder and that the decoder decodes from leftovers of its
//   memory (tables the file never defines, blocks it never decodes), where
//   two decodings by the decoder itself differ (decoder_unstable);
// - by the JPEG row reader directly, row by row: when it takes the file and
//   reads it to its end, the decoder must decode the file, to the same
//   pixels (and be stable on it). With a nonzero mask_seed the reader is told that only some rows
//   and columns are wanted (chosen from the seed), and only those pixels are
//   compared.
JpegComparison compare_jpeg_decoders(const std::string &path, const uint8_t *data, size_t size, unsigned mask_seed);
