// The command line of imgthumb: what to make, of which inputs, where.
#pragma once

enum Operation { OP_SQUARE, OP_ASPECT, OP_SMART, OP_BATCH };

struct Options {
    Operation op;
    int size;           // square, aspect and batch: the size
    int ratio;          // aspect: the library's ratio index 0..3
    int width, height;  // smart
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

// The operation's name as written on the command line.
const char *operation_name(Operation op);
