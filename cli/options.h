// The command line of imgthumb: what to make, of which inputs, where.
#pragma once

#include "imgthumbnail_ex.h"

// The operations, in the order the command names them; batch, the one that
// is no thumbnail of a file, last.
enum OperationKind { OP_SQUARE, OP_ASPECT, OP_SMART, OP_COVER, OP_FIT, OP_PAD, OP_BATCH };

// What a run makes of each input. The pool hands this record to a worker
// with every file, and the worker gives `thumbnail` to the options library
// as it stands: square is its cover SIZE x SIZE, aspect and smart its own
// modes, so every operation but batch is one call with one record.
struct Operation {
    OperationKind kind;
    int batch_size;                    // batch: the size (the library's batch takes no record)
    imgthumbnail_ex_options thumbnail; // every other operation: mode, box and options
};

struct Options {
    Operation op;
    const char *out_dir;  // -o; NULL: the current folder
    const char *ext;      // -e without a leading '.'; NULL: the default rule
    int jobs;             // -j; the number of CPUs when not given
    bool recursive;       // -r
    bool quiet;           // -q
    bool verbose;         // -v
    bool no_clobber;      // --no-clobber
    bool no_rotate;       // --no-rotate
    bool no_upscale;      // --no-upscale
    int quality;          // --quality; 0 when not given
    bool has_background;  // --background was given
    unsigned background;  // --background as 0xRRGGBBAA
    const char **inputs;  // the INPUTs in the order given (malloc'd array of argv's strings)
    int n_inputs;
    const char *batch_in, *batch_out;  // batch: INPUT_DIR, OUTPUT_DIR
};

// What parse_options decided.
enum ParseResult {
    PARSE_RUN,    // *o is filled: run it (free o->inputs afterwards)
    PARSE_DONE,   // --help or --version was printed: exit 0
    PARSE_USAGE,  // a usage error was printed: exit 2
};

ParseResult parse_options(int argc, char **argv, Options *o);
