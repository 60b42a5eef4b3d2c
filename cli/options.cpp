// Reads imgthumb's command line, and prints --help and --version. A usage
// error prints one line that says what was wrong and points to --help.
#include "options.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/files.h"
#include "imgthumbnail.h"
#include "imgthumbnail_ex.h"
#include "platform.h"

#ifndef IMGTHUMB_CLI_VERSION
#define IMGTHUMB_CLI_VERSION IMGTHUMBNAIL_VERSION_STRING
#endif

// The ratios as written on the command line, with the library's index of each.
static const struct {
    const char *name;
    int index;
} RATIOS[] = {
    {"1:1", IMGTHUMBNAIL_RATIO_1_1},
    {"4:3", IMGTHUMBNAIL_RATIO_4_3},
    {"16:9", IMGTHUMBNAIL_RATIO_16_9},
    {"3:2", IMGTHUMBNAIL_RATIO_3_2},
};
static_assert(sizeof RATIOS / sizeof RATIOS[0] == IMGTHUMBNAIL_RATIO_COUNT, "a name for every ratio of the library");
// Most decimal digits a number on the command line may have.
static const int MAX_DIGITS = 9;
// Hex digits of a --background colour, #RRGGBB or #RRGGBBAA; the alpha of
// the first, and the bits a hex digit holds.
static const int RGB_DIGITS = 6;
static const int RGBA_DIGITS = 8;
static const unsigned OPAQUE = 0xFF;
static const int HEX_DIGIT_BITS = 4;
static const int HEX_A = 10;  // the value of the digit a (or A)
static const int ALPHA_BITS = 8;
// The mode of an operation that is no call of the options library.
static const int NO_MODE = -1;

// Each operation as the command line names it, in the order of
// OperationKind: the size parameters before its INPUTs, what they are (for
// the message when they are missing) and the options library's mode.
static const struct {
    const char *name;
    int params;
    const char *needs;
    int mode;
} OPERATIONS[] = {
    {"square", 1, "SIZE", IMGTHUMBNAIL_EX_COVER},  // the cover of a square box is imgthumbnail_square's
    {"aspect", 2, "SIZE and RATIO", IMGTHUMBNAIL_EX_ASPECT},
    {"smart", 1, "WIDTHxHEIGHT", IMGTHUMBNAIL_EX_SMART},
    {"cover", 1, "WIDTHxHEIGHT", IMGTHUMBNAIL_EX_COVER},
    {"fit", 1, "WIDTHxHEIGHT", IMGTHUMBNAIL_EX_FIT},
    {"pad", 1, "WIDTHxHEIGHT", IMGTHUMBNAIL_EX_PAD},
    {"batch", 3, "SIZE INPUT_DIR OUTPUT_DIR", NO_MODE},  // the first library's own batch
};
static_assert(sizeof OPERATIONS / sizeof OPERATIONS[0] == OP_BATCH + 1, "a row for every operation");

static ParseResult usage_error(const char *format, ...)
{
    std::fputs("imgthumb: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputs(" (see 'imgthumb --help')\n", stderr);
    return PARSE_USAGE;
}

// A plain decimal number within lo..hi (no sign, no spaces); 1 when it is one.
static int parse_int(const char *text, int lo, int hi, int *value)
{
    long v = 0;
    int digits = 0;
    for (const char *p = text; *p; p++, digits++) {
        if (*p < '0' || *p > '9' || digits == MAX_DIGITS) return 0;
        v = v * 10 + (*p - '0');
    }
    if (digits == 0 || v < lo || v > hi) return 0;
    *value = (int)v;
    return 1;
}

static int parse_size(const char *text, int *value)
{
    return parse_int(text, 1, IMGTHUMBNAIL_MAX_SIZE, value);
}

static int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + HEX_A;
    if (c >= 'A' && c <= 'F') return c - 'A' + HEX_A;
    return -1;
}

// A colour #RRGGBB (opaque) or #RRGGBBAA, hex digits in either case, as the
// options library's 0xRRGGBBAA; 1 when it is one.
static int parse_colour(const char *text, unsigned *rgba)
{
    if (text[0] != '#') return 0;
    unsigned v = 0;
    int digits = 0;
    for (const char *p = text + 1; *p; p++, digits++) {
        const int d = hex_value(*p);
        if (d < 0 || digits == RGBA_DIGITS) return 0;
        v = v << HEX_DIGIT_BITS | (unsigned)d;
    }
    if (digits == RGB_DIGITS)
        v = v << ALPHA_BITS | OPAQUE;
    else if (digits != RGBA_DIGITS)
        return 0;
    *rgba = v;
    return 1;
}

static void print_help()
{
    std::printf(
        "Usage:\n"
        "  imgthumb square SIZE [OPTIONS] INPUT...\n"
        "  imgthumb aspect SIZE RATIO [OPTIONS] INPUT...\n"
        "  imgthumb smart WIDTHxHEIGHT [OPTIONS] INPUT...\n"
        "  imgthumb cover WIDTHxHEIGHT [OPTIONS] INPUT...\n"
        "  imgthumb fit WIDTHxHEIGHT [OPTIONS] INPUT...\n"
        "  imgthumb pad WIDTHxHEIGHT [OPTIONS] INPUT...\n"
        "  imgthumb batch SIZE INPUT_DIR OUTPUT_DIR\n"
        "\n"
        "Makes a thumbnail of every INPUT with quintaro-imgthumbnail-ex, first turning\n"
        "it upright by its EXIF orientation (batch: with quintaro-imgthumbnail).\n"
        "\n"
        "Operations (sizes in pixels, 1..%d):\n"
        "  square SIZE          the largest centred square, SIZE x SIZE\n"
        "  aspect SIZE RATIO    the largest centred region of RATIO (1:1, 4:3, 16:9 or 3:2),\n"
        "                       SIZE pixels wide\n"
        "  smart WxH            the region with the most detail, exactly W x H\n"
        "  cover WxH            the largest centred region of the shape W:H, exactly W x H\n"
        "  fit WxH              the whole image inside W x H, its shape kept\n"
        "  pad WxH              fit, centred on a W x H canvas of the --background colour\n"
        "  batch SIZE IN OUT    the library's own batch: SIZE squares of the png, jpg, jpeg,\n"
        "                       bmp and tga files directly in IN, into OUT, as stored; it\n"
        "                       says only whether any was written (takes none of the options)\n"
        "\n"
        "An INPUT is a file (always taken) or a folder, whose files are taken when their\n"
        "extension is one the decoder reads (png jpg jpeg bmp tga gif psd hdr pic pgm ppm\n"
        "pnm, any letter case), except names beginning with '.'. Folders are taken in\n"
        "sorted order. The thumbnail of dir/name.ext is DIR/name.EXT2.\n"
        "\n"
        "Options:\n"
        "  -o DIR        output folder, created with its parents when missing\n"
        "                (default: the current folder)\n"
        "  -e EXT        output extension, which chooses the format: jpg or jpeg JPEG,\n"
        "                bmp BMP, tga TGA, anything else PNG (default: png, bmp and tga\n"
        "                inputs keep their extension as written; every other input gets png)\n"
        "  -j N          worker processes, 1..%d (default: the number of CPUs, here %d)\n"
        "  -r            also take the files of INPUT folders' subfolders (the output\n"
        "                keeps the relative folders)\n"
        "  -q            print only the summary\n"
        "  -v            also print a line per file written (on standard output)\n"
        "  --no-clobber  leave existing outputs alone (counted as skipped)\n"
        "  --no-rotate   keep the stored pixel order: square, aspect and smart then write\n"
        "                the library's imgthumbnail_square, _aspect and _smart bytes\n"
        "  --no-upscale  never enlarge: a region (fit and pad: the image) smaller than\n"
        "                the size asked keeps its own size (not for smart)\n"
        "  --quality N   JPEG quality, 1..100 (default %d)\n"
        "  --background COLOR\n"
        "                pad only: the canvas, #RRGGBB or #RRGGBBAA, quoted as a shell\n"
        "                takes # for a comment (default: transparent; JPEG and BMP\n"
        "                outputs show white)\n"
        "  -h, --help    print this help\n"
        "  --version     print the program's and the libraries' versions\n"
        "\n"
        "Two inputs whose thumbnails would have one name: the first is written, the\n"
        "other fails. An output that is an input file is never written. Existing\n"
        "outputs are replaced unless --no-clobber.\n"
        "\n"
        "Exit status: 0 every file was written (or skipped), 1 some failed, 2 usage error,\n"
        "130 stopped by SIGINT (Ctrl-C), 143 stopped by SIGTERM.\n"
        "\n"
        "Examples:\n"
        "  imgthumb square 256 -o thumbs photos\n"
        "  imgthumb aspect 320 16:9 -e jpg -o wide holiday/*.jpg\n"
        "  imgthumb smart 200x120 -r -o previews pictures\n"
        "  imgthumb fit 320x240 --quality 80 -e jpg -o web phone\n"
        "  imgthumb pad 256x256 --background '#FFFFFF' -o tiles shop\n"
        "  imgthumb batch 128 photos thumbs\n",
        IMGTHUMBNAIL_MAX_SIZE, MAX_WAIT_CHANNELS, cpu_count() < MAX_WAIT_CHANNELS ? cpu_count() : MAX_WAIT_CHANNELS,
        IMGTHUMBNAIL_EX_QUALITY_DEFAULT);
}

static ParseResult help()
{
    print_help();
    return PARSE_DONE;
}

static void print_version()
{
    // The libraries export no version call: theirs is the one of the header
    // the program was built with (both are built together, at one version).
    std::printf("imgthumb %s\nquintaro-imgthumbnail %s\nquintaro-imgthumbnail-ex %s\n", IMGTHUMB_CLI_VERSION,
                IMGTHUMBNAIL_VERSION_STRING, IMGTHUMBNAIL_VERSION_STRING);
}

// The value of an option letter: the rest of its argument or the next one.
static const char *option_value(const char *rest, int argc, char **argv, int *i)
{
    if (*rest) return rest;
    if (*i + 1 < argc) return argv[++*i];
    return nullptr;
}

// A long option with a value, "--name VALUE" or "--name=VALUE": 1 when arg
// is that option, *value then its value (NULL when none follows).
static int long_option(const char *arg, const char *name, int argc, char **argv, int *i, const char **value)
{
    const size_t len = std::strlen(name);
    if (std::strncmp(arg, name, len) != 0) return 0;
    if (arg[len] == '=') {
        *value = arg + len + 1;
        return 1;
    }
    if (arg[len] != '\0') return 0;
    *value = *i + 1 < argc ? argv[++*i] : nullptr;
    return 1;
}

// Takes one option argument (starting with '-'); PARSE_RUN when it is good.
static ParseResult take_option(int argc, char **argv, int *i, Options *o)
{
    const char *arg = argv[*i];
    if (std::strcmp(arg, "--help") == 0) return help();
    if (std::strcmp(arg, "--version") == 0) {
        print_version();
        return PARSE_DONE;
    }
    if (std::strcmp(arg, "--no-clobber") == 0) {
        o->no_clobber = true;
        return PARSE_RUN;
    }
    if (std::strcmp(arg, "--no-rotate") == 0) {
        o->no_rotate = true;
        return PARSE_RUN;
    }
    if (std::strcmp(arg, "--no-upscale") == 0) {
        o->no_upscale = true;
        return PARSE_RUN;
    }
    const char *value = nullptr;
    if (long_option(arg, "--quality", argc, argv, i, &value)) {
        if (!value) return usage_error("option --quality needs a value");
        if (!parse_int(value, IMGTHUMBNAIL_EX_QUALITY_MIN, IMGTHUMBNAIL_EX_QUALITY_MAX, &o->quality))
            return usage_error("--quality wants a JPEG quality from %d to %d, not '%s'", IMGTHUMBNAIL_EX_QUALITY_MIN,
                               IMGTHUMBNAIL_EX_QUALITY_MAX, value);
        return PARSE_RUN;
    }
    if (long_option(arg, "--background", argc, argv, i, &value)) {
        // An unquoted #... is a comment to a shell, which leaves the option
        // without its value: the message says so.
        if (!value) return usage_error("option --background needs a colour (quote the '#')");
        if (!parse_colour(value, &o->background))
            return usage_error("--background wants a colour #RRGGBB or #RRGGBBAA, not '%s'", value);
        o->has_background = true;
        return PARSE_RUN;
    }
    if (arg[1] == '-') return usage_error("unknown option '%s'", arg);
    // Letters may be grouped (-rq); a letter with a value takes the rest.
    for (const char *p = arg + 1; *p; p++) {
        switch (*p) {
        case 'h': return help();
        case 'r': o->recursive = true; break;
        case 'q': o->quiet = true; break;
        case 'v': o->verbose = true; break;
        case 'o':
        case 'e':
        case 'j': {
            const char letter = *p;
            const char *value = option_value(p + 1, argc, argv, i);
            if (!value) return usage_error("option -%c needs a value", letter);
            if (letter == 'o') {
                if (!*value) return usage_error("-o needs a folder");
                o->out_dir = value;
            } else if (letter == 'e') {
                if (*value == '.') value++;
                for (const char *c = value; *c; c++)
                    if (is_path_sep(*c)) return usage_error("-e wants an extension, not a path: '%s'", value);
                if (!*value) return usage_error("-e needs an extension");
                o->ext = value;
            } else if (!parse_int(value, 1, MAX_WAIT_CHANNELS, &o->jobs)) {
                return usage_error("-j wants a number of processes from 1 to %d, not '%s'", MAX_WAIT_CHANNELS,
                                   value);
            }
            return PARSE_RUN;
        }
        default: return usage_error("unknown option '-%c'", *p);
        }
    }
    return PARSE_RUN;
}

// The size parameters of the operation, from its first positional
// arguments, into the record of the options library (batch: its size).
static ParseResult take_sizes(const char *const *params, Operation *op)
{
    imgthumbnail_ex_options *t = &op->thumbnail;
    switch (op->kind) {
    case OP_BATCH:
        if (!parse_size(params[0], &op->batch_size))
            return usage_error("SIZE must be 1..%d, not '%s'", IMGTHUMBNAIL_MAX_SIZE, params[0]);
        return PARSE_RUN;
    case OP_SQUARE:
        if (!parse_size(params[0], &t->width))
            return usage_error("SIZE must be 1..%d, not '%s'", IMGTHUMBNAIL_MAX_SIZE, params[0]);
        t->height = t->width;
        return PARSE_RUN;
    case OP_ASPECT:
        if (!parse_size(params[0], &t->width))
            return usage_error("SIZE must be 1..%d, not '%s'", IMGTHUMBNAIL_MAX_SIZE, params[0]);
        for (const auto &ratio : RATIOS)
            if (std::strcmp(params[1], ratio.name) == 0) {
                t->ratio = ratio.index;
                return PARSE_RUN;
            }
        return usage_error("RATIO must be 1:1, 4:3, 16:9 or 3:2, not '%s'", params[1]);
    case OP_SMART:
    case OP_COVER:
    case OP_FIT:
    case OP_PAD: {
        // WIDTHxHEIGHT, the x in either case.
        char width[MAX_DIGITS + 2];
        const char *x = std::strpbrk(params[0], "xX");
        const size_t len = x ? (size_t)(x - params[0]) : 0;
        if (x && len < sizeof width) {
            std::memcpy(width, params[0], len);
            width[len] = '\0';
            if (parse_size(width, &t->width) && parse_size(x + 1, &t->height)) return PARSE_RUN;
        }
        return usage_error("WIDTHxHEIGHT must be two sizes 1..%d like 200x120, not '%s'", IMGTHUMBNAIL_MAX_SIZE,
                           params[0]);
    }
    }
    return PARSE_USAGE;
}

// The options library's record of a thumbnail operation: its mode, with
// the options the command line gave (the sizes are taken after this).
static void start_thumbnail(const Options *o, imgthumbnail_ex_options *t)
{
    imgthumbnail_ex_defaults(t);
    t->mode = OPERATIONS[o->op.kind].mode;
    if (o->no_rotate) t->rotate = 0;
    if (o->no_upscale) t->upscale = 0;
    if (o->quality) t->quality = o->quality;
    if (o->has_background) t->background = o->background;
}

ParseResult parse_options(int argc, char **argv, Options *o)
{
    std::memset(o, 0, sizeof *o);
    if (argc < 2) return usage_error("no operation given");
    const char *first = argv[1];
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) return help();
    if (std::strcmp(first, "--version") == 0) {
        print_version();
        return PARSE_DONE;
    }
    int op = 0;
    while (op <= OP_BATCH && std::strcmp(first, OPERATIONS[op].name) != 0) op++;
    if (op > OP_BATCH)
        return usage_error("unknown operation '%s' (square, aspect, smart, cover, fit, pad or batch)", first);
    o->op.kind = (OperationKind)op;

    // Options may stand anywhere after the operation; "--" ends them. A
    // leading '-' before a digit is a (bad) number, not an option.
    const char **positional = (const char **)std::malloc(sizeof(const char *) * (size_t)argc);
    if (!positional) return usage_error("out of memory");
    int n_positional = 0;
    bool any_option = false;
    bool options_end = false;
    for (int i = 2; i < argc; i++) {
        const char *arg = argv[i];
        const bool is_option = !options_end && arg[0] == '-' && arg[1] != '\0' && !(arg[1] >= '0' && arg[1] <= '9');
        if (!is_option) {
            positional[n_positional++] = arg;
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            options_end = true;
            continue;
        }
        any_option = true;
        const ParseResult r = take_option(argc, argv, &i, o);
        if (r != PARSE_RUN) {
            std::free(positional);
            return r;
        }
    }

    ParseResult r = PARSE_RUN;
    const int params = OPERATIONS[op].params;
    const OperationKind kind = o->op.kind;
    // The library's batch has no options, so none of the command's reach it.
    if (kind == OP_BATCH && any_option)
        r = usage_error("batch takes no options");
    else if (n_positional < params)
        r = usage_error("%s needs %s", OPERATIONS[kind].name, OPERATIONS[kind].needs);
    else if (kind == OP_BATCH && n_positional > params)
        r = usage_error("batch takes one INPUT_DIR and one OUTPUT_DIR");
    else if (kind != OP_BATCH && n_positional == params)
        r = usage_error("no INPUT given");
    else if (o->quiet && o->verbose)
        r = usage_error("-q and -v contradict each other");
    else if (o->has_background && kind != OP_PAD)
        r = usage_error("--background is for pad only, not %s", OPERATIONS[kind].name);
    else if (o->no_upscale && kind == OP_SMART)
        r = usage_error("--no-upscale is not for smart, which always writes WIDTHxHEIGHT");
    else {
        if (kind != OP_BATCH) start_thumbnail(o, &o->op.thumbnail);
        r = take_sizes(positional, &o->op);
    }
    if (r != PARSE_RUN) {
        std::free(positional);
        return r;
    }
    if (kind == OP_BATCH) {
        o->batch_in = positional[1];
        o->batch_out = positional[2];
    }
    if (o->jobs == 0) o->jobs = cpu_count() < MAX_WAIT_CHANNELS ? cpu_count() : MAX_WAIT_CHANNELS;
    // The INPUTs follow the size parameters; the array is reused for them.
    std::memmove(positional, positional + params, sizeof(const char *) * (size_t)(n_positional - params));
    o->inputs = positional;
    o->n_inputs = n_positional - params;
    return PARSE_RUN;
}
