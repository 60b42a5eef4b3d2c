// The demo's contact sheet: one HTML page that shows each source image with
// its thumbnails, the operation and size under each, and the regions the
// smart crops kept, outlined on the source.
#pragma once

#include <string>
#include <vector>

#include "smart_region.h"

struct SheetThumb {
    std::string operation; // e.g. "aspect 4:3, size 200"
    std::string file;      // the thumbnail, as a URL relative to the page ("" when it failed)
    std::string shown;     // what the page shows: the file itself or a PNG copy of it
    std::string format;    // "PNG", "JPEG", "BMP" or "TGA"
    int width = 0, height = 0;
    bool ok = false;
    std::string error;     // when it failed: the command's line for the file ("input: message")
    bool has_region = false;
    KeptRegion region = {0, 0, 0, 0};
    int outline = -1;      // which outline on the source marks the region
};

struct SheetSource {
    std::string name;    // file name
    std::string file;    // its copy beside the page, as a URL relative to the page
    std::string shown;   // what the page shows: that copy or a PNG copy of it
    std::string format;  // as recognised from its first bytes
    int width = 0, height = 0;
    bool decoded = false;
    std::string error;   // why it is not shown, when no thumbnail's line says why
    bool failed = false; // some thumbnail of it failed
    std::vector<SheetThumb> thumbs;
};

// One run of the imgthumb command.
struct SheetRun {
    std::string command; // as run, the output folder relative to the page
    std::string summary; // the command's last line, or how it ended
    std::string log;     // its standard error, as a URL relative to the page
};

struct Sheet {
    std::string folder;     // the folder of source images, as given
    std::string batch_note; // the batch's outcome, shown above the sources
    std::vector<SheetSource> sources;
    std::vector<SheetRun> runs;
};

// Writes the page to path. Returns 1 on success, 0 when it cannot be written.
int write_contact_sheet(const char *path, const Sheet &sheet);

// Percent-encodes a relative path for use as a URL in the page ('/' stays).
std::string url_path(const std::string &path);
