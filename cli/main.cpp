// imgthumb: thumbnails of image files and folders from the command line,
// with quintaro-imgthumbnail-ex (and quintaro-imgthumbnail's batch) through
// their public headers. Run without arguments or with --help for its usage.
#include <cstdlib>
#include <cstring>

#include "options.h"
#include "platform.h"
#include "pool.h"
#include "run.h"

int main(int argc, char **argv)
{
    platform_init(argc > 0 ? argv[0] : "imgthumb");
    // The program started as one of its own workers.
    if (argc >= 2 && std::strcmp(argv[1], WORKER_FLAG) == 0) return worker_main();

    Options o;
    switch (parse_options(argc, argv, &o)) {
    case PARSE_DONE: return 0;
    case PARSE_USAGE: return 2;
    case PARSE_RUN: break;
    }
    const int status = o.op.kind == OP_BATCH ? run_batch(&o) : run_thumbnails(&o);
    std::free(o.inputs);
    return status;
}
