// The files a run takes and the names of their thumbnails. An INPUT file is
// always taken; an INPUT folder gives its files whose extension the decoder
// reads (and with -r those of its subfolders, but never the output folder),
// in sorted order, skipping names that begin with '.'. The thumbnail of
// dir/name.ext is OUT/name.EXT2, EXT2 from -e or by the default rule; that of
// a file in a subfolder goes into the same subfolder of OUT.
#pragma once

#include "options.h"

enum ItemState { ITEM_TODO, ITEM_FAILED, ITEM_SKIPPED, ITEM_WRITTEN };

struct Item {
    char *input;    // the path handed to the library (malloc'd)
    char *output;   // the thumbnail's path (malloc'd)
    char *folder;   // the subfolder of the output folder that output lies in (malloc'd),
                    // made before the run; NULL when it lies in the output folder itself
    char *key;      // output relative to the output folder, compared for collisions (malloc'd)
    ItemState state;
    char *message;  // why it failed or was skipped before any worker saw it (malloc'd or NULL)
};

struct ItemList {
    Item *items;
    int count;
    int capacity;
};

// Collects the items of every INPUT of o in the order taken. An INPUT
// folder that cannot be listed becomes a failed item; one that gives no
// file is noted on stderr (unless -q). 0 when memory ran out.
int collect_items(const Options *o, ItemList *list);

void free_items(ItemList *list);

// The bare name of a path: what follows its last separator (on Windows also
// a drive's colon); all of path when it has none.
const char *base_name(const char *path);

// A malloc'd string formatted like printf; NULL when memory ran out.
char *format_string(const char *format, ...);
