// The command line of imgthumb: what to make, of which inputs, where.
#pragma once

enum OperationKind { OP_SQUARE, OP_ASPECT, OP_SMART, OP_BATCH };

// What a run makes of each input: the operation and its sizes, as the
// command line gives them. The pool hands this record to a worker with
// every file, and the worker makes the thumbnail from it as it stands.
struct Operation {
    OperationKind kind;
    int size;           // square, aspect and batch: the size
    int ratio;          // aspect: the library's ratio index (IMGTHUMBNAIL_RATIO_*)
    int width, height;  // smart
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
