// One exported operation as a process of its own, through the shared
// library as a user's program calls it; the measured side of imgthumb_pairs.
//
//   imgthumb_run square IN OUT SIZE
//   imgthumb_run aspect IN OUT SIZE RATIO
//   imgthumb_run smart IN OUT WIDTH HEIGHT
//
// Exit status 0 on success; otherwise the library's message on stderr.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imgthumbnail.h"

int main(int argc, char **argv)
{
    int ok = -1;
    if (argc == 5 && std::strcmp(argv[1], "square") == 0)
        ok = imgthumbnail_square(argv[2], argv[3], std::atoi(argv[4]));
    else if (argc == 6 && std::strcmp(argv[1], "aspect") == 0)
        ok = imgthumbnail_aspect(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    else if (argc == 6 && std::strcmp(argv[1], "smart") == 0)
        ok = imgthumbnail_smart(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    if (ok < 0) {
        std::fprintf(stderr, "usage: %s square IN OUT SIZE | aspect IN OUT SIZE RATIO | smart IN OUT W H\n", argv[0]);
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "%s\n", imgthumbnail_last_error());
        return 1;
    }
    return 0;
}
