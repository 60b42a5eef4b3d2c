// Collecting the files of a run and naming their thumbnails.
#include "inputs.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/ascii.h"
#include "common/files.h"

// Extensions the decoder reads: a folder's files are taken by them.
static const char *const DECODER_EXTENSIONS[] = {"png", "jpg", "jpeg", "bmp", "tga", "gif",
                                                 "psd", "hdr", "pic", "pgm", "ppm", "pnm"};
// Input extensions the default rule keeps as written; every other gets DEFAULT_EXTENSION.
static const char *const KEPT_EXTENSIONS[] = {"png", "bmp", "tga"};
static const char DEFAULT_EXTENSION[] = "png";
// Items allocated at a time when the list grows.
static const int FIRST_CAPACITY = 64;

char *format_string(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n < 0) return nullptr;
    char *s = (char *)std::malloc((size_t)n + 1);
    if (!s) return nullptr;
    va_start(args, format);
    std::vsnprintf(s, (size_t)n + 1, format, args);
    va_end(args);
    return s;
}

template <size_t N>
static bool is_one_of(const char *ext, const char *const (&list)[N])
{
    for (size_t i = 0; i < N; i++)
        if (ascii_iequal(ext, list[i])) return true;
    return false;
}

const char *base_name(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (is_path_sep(*p) || (PATH_SEP == '\\' && *p == ':')) name = p + 1;
    return name;
}

// dir and name with one separator between them (none after a dir that ends
// in one, none at all when dir is empty).
static char *join_path(const char *dir, const char *name)
{
    const size_t len = std::strlen(dir);
    const bool bare = len == 0 || is_path_sep(dir[len - 1]) || (PATH_SEP == '\\' && dir[len - 1] == ':');
    return bare ? format_string("%s%s", dir, name) : format_string("%s%c%s", dir, PATH_SEP, name);
}

// Adds the item of the file input, whose bare name is name, in subfolder (a
// path relative to its INPUT folder, "" for the folder itself).
static int add_item(ItemList *list, const Options *o, char *input, const char *subfolder, const char *name)
{
    if (!input) return 0;
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : FIRST_CAPACITY;
        Item *grown = (Item *)std::realloc(list->items, sizeof(Item) * (size_t)capacity);
        if (!grown) {
            std::free(input);
            return 0;
        }
        list->items = grown;
        list->capacity = capacity;
    }
    // The stem is the name before its last '.'; EXT2 from -e, else the
    // input's own for png/bmp/tga (as written), else png.
    const char *ext = extension_of(name);
    const int stem_len = ext ? (int)(ext - 1 - name) : (int)std::strlen(name);
    const char *out_ext = o->ext ? o->ext : (ext && is_one_of(ext, KEPT_EXTENSIONS)) ? ext : DEFAULT_EXTENSION;
    char *file = format_string("%.*s.%s", stem_len, name, out_ext);
    // A file of a subfolder gets the same subfolder of the output folder
    // ("" is the current folder).
    const char *out_dir = o->out_dir ? o->out_dir : "";
    char *folder = file && *subfolder ? join_path(out_dir, subfolder) : nullptr;
    char *key = file ? join_path(subfolder, file) : nullptr;
    char *output = key && (folder || !*subfolder) ? join_path(folder ? folder : out_dir, file) : nullptr;
    std::free(file);
    if (!output) {
        std::free(input);
        std::free(key);
        std::free(folder);
        return 0;
    }
    Item *item = &list->items[list->count++];
    item->input = input;
    item->output = output;
    item->folder = folder;
    item->key = key;
    item->state = ITEM_TODO;
    item->message = nullptr;
    return 1;
}

static int add_failed(ItemList *list, const Options *o, const char *input, const char *message)
{
    if (!add_item(list, o, format_string("%s", input), "", "")) return 0;
    Item *item = &list->items[list->count - 1];
    item->state = ITEM_FAILED;
    item->message = format_string("%s", message);
    return item->message != nullptr;
}

// ---- Walking a folder ------------------------------------------------------------

struct Entry {
    char *name;
    bool is_folder;
};

struct EntryList {
    Entry *entries;
    int count;
    int capacity;
    bool out_of_memory;
};

static void keep_entry(const char *name, bool is_folder, void *context)
{
    EntryList *list = (EntryList *)context;
    // Hidden names are never taken, and "." and ".." begin with a dot too.
    if (name[0] == '.' || list->out_of_memory) return;
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : FIRST_CAPACITY;
        Entry *grown = (Entry *)std::realloc(list->entries, sizeof(Entry) * (size_t)capacity);
        if (!grown) {
            list->out_of_memory = true;
            return;
        }
        list->entries = grown;
        list->capacity = capacity;
    }
    char *copy = format_string("%s", name);
    if (!copy) {
        list->out_of_memory = true;
        return;
    }
    list->entries[list->count].name = copy;
    list->entries[list->count++].is_folder = is_folder;
}

// The folders being walked, innermost first: a link back to one of them is
// not entered again.
struct Ancestor {
    FileId id;
    const Ancestor *outer;
};

static bool is_ancestor(const Ancestor *a, const FileId &id)
{
    for (; a; a = a->outer)
        if (same_file_id(a->id, id)) return true;
    return false;
}

// What a walk needs besides the folder at hand.
struct Walk {
    ItemList *list;
    const Options *o;
    FileId out_id;  // the output folder: never walked into, so that a
    bool has_out;   // second run does not take the first one's thumbnails
    int taken;      // items added
};

// Adds the files of dir, found at subfolder within its INPUT folder ("" for
// the INPUT itself), and, with -r, those of its subfolders.
static int walk_folder(Walk *walk, const char *dir, const char *subfolder, const Ancestor *outer)
{
    ItemList *list = walk->list;
    const Options *o = walk->o;
    EntryList entries = {nullptr, 0, 0, false};
    if (!list_folder(dir, keep_entry, &entries)) return add_failed(list, o, dir, "cannot list this folder");
    int ok = !entries.out_of_memory;
    // Byte order of the names: the same order on every run and platform.
    std::sort(entries.entries, entries.entries + entries.count,
              [](const Entry &a, const Entry &b) { return std::strcmp(a.name, b.name) < 0; });
    Ancestor here = {{0, 0}, outer};
    const bool known = file_id(dir, &here.id) != 0;
    for (int i = 0; ok && i < entries.count; i++) {
        const Entry *e = &entries.entries[i];
        char *path = join_path(dir, e->name);
        if (!path) {
            ok = 0;
        } else if (e->is_folder) {
            FileId id;
            if (o->recursive && known && file_id(path, &id) && !is_ancestor(&here, id) &&
                !(walk->has_out && same_file_id(id, walk->out_id))) {
                char *inner = join_path(subfolder, e->name);
                ok = inner && walk_folder(walk, path, inner, &here);
                std::free(inner);
            }
            std::free(path);
        } else {
            const char *ext = extension_of(e->name);
            if (ext && is_one_of(ext, DECODER_EXTENSIONS)) {
                ok = add_item(list, o, path, subfolder, e->name);
                walk->taken += ok;
            } else {
                std::free(path);
            }
        }
    }
    for (int i = 0; i < entries.count; i++) std::free(entries.entries[i].name);
    std::free(entries.entries);
    return ok;
}

int collect_items(const Options *o, ItemList *list)
{
    std::memset(list, 0, sizeof *list);
    for (int i = 0; i < o->n_inputs; i++) {
        const char *input = o->inputs[i];
        if (path_kind(input) != PATH_FOLDER) {
            // A file is always taken; a missing one fails in the library,
            // which says so.
            if (!add_item(list, o, format_string("%s", input), "", base_name(input))) return 0;
            continue;
        }
        Walk walk = {list, o, {0, 0}, false, 0};
        walk.has_out = file_id(o->out_dir ? o->out_dir : ".", &walk.out_id) != 0;
        if (!walk_folder(&walk, input, "", nullptr)) return 0;
        if (walk.taken == 0 && !o->quiet) std::fprintf(stderr, "imgthumb: no image files in '%s'\n", input);
    }
    return 1;
}

void free_items(ItemList *list)
{
    for (int i = 0; i < list->count; i++) {
        std::free(list->items[i].input);
        std::free(list->items[i].output);
        std::free(list->items[i].folder);
        std::free(list->items[i].key);
        std::free(list->items[i].message);
    }
    std::free(list->items);
    std::memset(list, 0, sizeof *list);
}
