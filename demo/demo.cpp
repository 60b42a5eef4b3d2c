// The demo: makes thumbnails of every file in a folder with each operation
// of the imgthumb command and writes a contact sheet (index.html) beside them.
//
// usage: imgthumb_demo IMAGE_FOLDER OUTPUT_FOLDER [IMGTHUMB]
//
// IMGTHUMB is the command to run (default: the imgthumb beside this
// program). Each operation is one run of it over every file of IMAGE_FOLDER
// (not its subfolders, not names beginning with '.'), and the batch is
// `imgthumb batch` over the folder. Into OUTPUT_FOLDER it writes
// thumbs/<operation>/, batch/, originals/ (a copy or hard link of each
// source the page shows), previews/ (PNG copies of what browsers cannot
// show), logs/ (the standard error of each run) and index.html. Those are
// replaced on every run; nothing else in OUTPUT_FOLDER is touched. The page
// links nothing outside OUTPUT_FOLDER, so the folder can be moved.
//
// Exit status: 0 when every file gave every thumbnail, 1 when the sheet was
// written but some file failed (each with the command's line for it on
// standard error), 2 when nothing could be done.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "contact_sheet.h"
#include "imgthumbnail.h"
#include "io/image_io.h"
#include "pixels/resample.h"
#include "run_command.h"
#include "smart_region.h"

#ifndef IMGTHUMB_DEMO_COMMAND_NAME
#define IMGTHUMB_DEMO_COMMAND_NAME "imgthumb"
#endif

namespace fs = std::filesystem;

namespace {

constexpr int SQUARE_SIZE = 160;
constexpr int ASPECT_SIZE = 200;
constexpr int BATCH_SIZE = 128;
// Source images are shown as they are when a browser can; others through a
// PNG copy reduced to at most this many pixels a side.
constexpr int PREVIEW_MAX_SIDE = 1024;

const char *const RATIO_NAMES[IMGTHUMBNAIL_RATIO_COUNT] = {"1:1", "4:3", "16:9", "3:2"};
const char *const RATIO_FILES[IMGTHUMBNAIL_RATIO_COUNT] = {"1x1", "4x3", "16x9", "3x2"};
// Each ratio is written in another format, so that the sheet shows every
// encoder (and JPEG/BMP flattening transparent sources over white).
const char *const RATIO_EXTS[IMGTHUMBNAIL_RATIO_COUNT] = {"png", "jpg", "bmp", "tga"};

struct SmartSize {
    int width, height;
    const char *ext;
};
// A square, a wide and a tall thumbnail. The smart crop searches an analysis
// image of at most 160 pixels a side with a window of the thumbnail's size,
// so thumbnails below that size are the ones whose crops differ visibly.
const SmartSize SMART_SIZES[] = {{96, 96, "png"}, {144, 81, "jpg"}, {72, 120, "png"}};

// What this program writes into the output folder, replaced on every run.
const char *const OWN_FOLDERS[] = {"thumbs", "batch", "originals", "previews", "logs"};
const char PAGE_NAME[] = "index.html";

// One run of the command over all the files: an operation and its sizes.
struct Operation {
    std::string caption;             // under each thumbnail: "aspect 4:3, size 200"
    std::vector<std::string> params; // the command's operation and sizes
    std::string ext;                 // of the thumbnails, which chooses their format
    std::string folder;              // of the thumbnails, inside the output folder
    int smart_width, smart_height;   // of a smart crop, 0 for the other operations
};

std::vector<Operation> operations()
{
    std::vector<Operation> ops;
    const std::string square = std::to_string(SQUARE_SIZE), aspect = std::to_string(ASPECT_SIZE);
    ops.push_back({"square " + square, {"square", square}, "png", "thumbs/square-" + square, 0, 0});
    for (int r = 0; r < IMGTHUMBNAIL_RATIO_COUNT; r++)
        ops.push_back({std::string("aspect ") + RATIO_NAMES[r] + ", size " + aspect,
                       {"aspect", aspect, RATIO_NAMES[r]},
                       RATIO_EXTS[r],
                       std::string("thumbs/aspect-") + RATIO_FILES[r] + "-" + aspect,
                       0,
                       0});
    for (const SmartSize &z : SMART_SIZES) {
        const std::string size = std::to_string(z.width) + "x" + std::to_string(z.height);
        ops.push_back({"smart " + std::to_string(z.width) + " \xC3\x97 " + std::to_string(z.height),
                       {"smart", size},
                       z.ext,
                       "thumbs/smart-" + size,
                       z.width,
                       z.height});
    }
    return ops;
}

// The image format from a file's first bytes, as the decoder would find it.
std::string sniff_format(const fs::path &path)
{
    unsigned char b[8] = {0};
    std::FILE *f = std::fopen(path.string().c_str(), "rb");
    if (!f) return "unreadable";
    size_t n = std::fread(b, 1, sizeof b, f);
    std::fclose(f);
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return "PNG";
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "JPEG";
    if (n >= 4 && std::memcmp(b, "GIF8", 4) == 0) return "GIF";
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') return "BMP";
    if (n >= 4 && std::memcmp(b, "8BPS", 4) == 0) return "PSD";
    if (n >= 2 && b[0] == '#' && b[1] == '?') return "HDR";
    if (n >= 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '7') return "PNM";
    if (n >= 4 && std::memcmp(b, "\x53\x80\xF6\x34", 4) == 0) return "PIC";
    return "TGA"; // the one format without a signature
}

// Formats every browser shows.
bool browser_shows(const std::string &format)
{
    return format == "PNG" || format == "JPEG" || format == "GIF";
}

std::string lower_ext(const std::string &name)
{
    size_t dot = name.rfind('.');
    std::string e = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char &c : e)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return e;
}

std::string format_of_ext(const std::string &ext)
{
    if (ext == "jpg" || ext == "jpeg") return "JPEG";
    if (ext == "bmp") return "BMP";
    if (ext == "tga") return "TGA";
    return "PNG";
}

// The name imgthumb gives the thumbnail of a file called name when told
// the extension ext: the name before its last '.', then ext.
std::string thumb_name(const std::string &name, const std::string &ext)
{
    return name.substr(0, name.rfind('.')) + "." + ext;
}

// The name the batch gives the thumbnail of an entry: JPEG inputs become
// PNG files, other names stay. "" for entries the batch does not take.
std::string batch_output_name(const std::string &name)
{
    size_t dot = name.rfind('.');
    if (name.empty() || name[0] == '.' || dot == std::string::npos) return "";
    std::string ext = lower_ext(name);
    if (ext == "jpg" || ext == "jpeg") return name.substr(0, dot) + ".png";
    if (ext == "png" || ext == "bmp" || ext == "tga") return name;
    return "";
}

// A folder path as the file system resolves it, without a trailing separator.
fs::path resolved(const fs::path &path)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    if (ec) p = fs::absolute(path, ec);
    p = p.lexically_normal();
    return p.has_filename() ? p : p.parent_path();
}

// True when path is folder itself or lies somewhere inside it.
bool within(const fs::path &path, const fs::path &folder)
{
    const fs::path p = resolved(path), f = resolved(folder);
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi)
        if (pi == p.end() || *pi != *fi) return false;
    return true;
}

// The source's own bytes inside the output folder (a hard link where the
// file system allows, else a copy), so that moving the folder keeps them.
bool keep_original(const fs::path &input, const fs::path &kept)
{
    std::error_code ec;
    // A link to a symbolic link would be one more link, relative or not.
    fs::path real = fs::canonical(input, ec);
    if (ec) real = input;
    fs::create_hard_link(real, kept, ec);
    if (!ec) return true;
    return fs::copy_file(real, kept, ec) && !ec;
}

// Writes image as a PNG at preview, reduced when it is large. 1 on success.
int write_preview(const Image &image, const fs::path &preview)
{
    int side = std::max(image.width, image.height);
    if (side <= PREVIEW_MAX_SIDE) return save_image(preview.string().c_str(), image, JPEG_QUALITY_DEFAULT);
    int w = std::max(1, (int)((long long)image.width * PREVIEW_MAX_SIDE / side));
    int h = std::max(1, (int)((long long)image.height * PREVIEW_MAX_SIDE / side));
    Image small = resize_image(image, w, h);
    if (!small.pixels) return 0;
    int ok = save_image(preview.string().c_str(), small, JPEG_QUALITY_DEFAULT);
    std::free(small.pixels);
    return ok;
}

// Fills in a finished thumbnail (rel: its path inside the output folder)
// with its size and, for formats browsers may not show, a PNG copy to show
// instead. false when it does not read back.
bool describe_thumb(SheetThumb &t, const std::string &rel, const fs::path &out, const std::string &preview_name)
{
    t.ok = true;
    t.file = url_path(rel);
    t.shown = t.file;
    t.format = format_of_ext(lower_ext(rel));
    Image img;
    if (!load_image((out / rel).string().c_str(), &img)) {
        t.ok = false;
        t.error = std::string("written, but it does not read back: ") + imgthumbnail_last_error();
        return false;
    }
    t.width = img.width;
    t.height = img.height;
    if (t.format == "BMP" || t.format == "TGA") {
        const std::string preview = "previews/" + preview_name;
        if (save_image((out / preview).string().c_str(), img, JPEG_QUALITY_DEFAULT)) t.shown = url_path(preview);
    }
    std::free(img.pixels);
    return true;
}

// A source file and what became of it.
struct Source {
    fs::path input;     // as handed to the command: IMAGE_FOLDER/name
    SheetSource sheet;
    bool failed = false;
};

// The lines a run of the command wrote on its standard error.
struct RunLog {
    std::vector<std::string> lines;
    int status;
};

RunLog run_logged(const std::vector<std::string> &args, const fs::path &log)
{
    RunLog r;
    r.status = run_command(args, log.string());
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    return r;
}

// The command's last line ("imgthumb: 5 written, 1 failed, ...") or, when it
// did not end with one, its status.
std::string summary_of(const RunLog &r)
{
    for (size_t i = r.lines.size(); i-- > 0;)
        if (r.lines[i].compare(0, 10, "imgthumb: ") == 0 && r.lines[i].find(" written, ") != std::string::npos)
            return r.lines[i];
    return "the command ended with status " + std::to_string(r.status) + " without its summary";
}

// Prints each line once, however many runs wrote it: a file that cannot be
// read fails in every run with the same line.
void print_once(std::vector<std::string> &printed, const std::string &line)
{
    if (std::find(printed.begin(), printed.end(), line) != printed.end()) return;
    printed.push_back(line);
    std::fprintf(stderr, "%s\n", line.c_str());
}

// One run of op over every source; each gets its thumbnail or its failure.
void run_operation(const Operation &op, const std::string &command, std::vector<Source> &sources, const fs::path &out,
                   Sheet &sheet, std::vector<std::string> &printed)
{
    const std::string log = "logs/" + fs::path(op.folder).filename().string() + ".txt";
    std::vector<std::string> args = {command};
    args.insert(args.end(), op.params.begin(), op.params.end());
    std::string shown = "imgthumb";
    for (const std::string &p : op.params) shown += " " + p;
    shown += " -e " + op.ext + " -o " + op.folder + " -- (the " + std::to_string(sources.size()) + " files)";
    args.insert(args.end(), {"-e", op.ext, "-o", (out / op.folder).string()});
    args.push_back("--"); // a folder named like an option stays a folder
    for (const Source &s : sources) args.push_back(s.input.string());
    const RunLog r = run_logged(args, out / log);
    const std::string summary = summary_of(r);

    // Each failed file has a line "input: message"; the longest input that
    // begins a line is the one it reports. Other lines are the command's own.
    std::vector<std::string> failure(sources.size());
    for (const std::string &line : r.lines) {
        size_t best = sources.size(), best_len = 0;
        for (size_t i = 0; i < sources.size(); i++) {
            const std::string prefix = sources[i].input.string() + ": ";
            if (prefix.size() > best_len && line.compare(0, prefix.size(), prefix) == 0) {
                best = i;
                best_len = prefix.size();
            }
        }
        if (best < sources.size()) {
            failure[best] = line;
            print_once(printed, line);
        } else if (line != summary) {
            print_once(printed, line);
        }
    }
    sheet.runs.push_back({shown, summary, url_path(log)});

    for (size_t i = 0; i < sources.size(); i++) {
        Source &s = sources[i];
        SheetThumb t;
        t.operation = op.caption;
        const std::string rel = op.folder + "/" + thumb_name(s.sheet.name, op.ext);
        std::error_code ec;
        if (!failure[i].empty() || !fs::is_regular_file(out / rel, ec)) {
            t.error = !failure[i].empty() ? failure[i] : "no thumbnail was written (" + summary + ")";
            s.failed = true;
        } else if (!describe_thumb(t, rel, out, fs::path(op.folder).filename().string() + "--" +
                                                    fs::path(rel).filename().string() + ".png")) {
            s.failed = true;
        } else if (op.smart_width && s.sheet.decoded &&
                   smart_kept_region(s.input.string().c_str(), op.smart_width, op.smart_height, &t.region)) {
            t.has_region = true;
            t.outline = 0;
            for (const SheetThumb &earlier : s.sheet.thumbs) t.outline += earlier.has_region;
        }
        s.sheet.thumbs.push_back(t);
    }
}

// The batch over the folder, through `imgthumb batch`; false when it failed.
bool run_batch(const std::string &command, const char *images, std::vector<Source> &sources, const fs::path &out,
               Sheet &sheet, std::vector<std::string> &printed)
{
    const std::string log = "logs/batch.txt";
    const std::vector<std::string> args = {command, "batch", std::to_string(BATCH_SIZE), images,
                                           (out / "batch").string()};
    const RunLog r = run_logged(args, out / log);
    // The batch prints nothing when it wrote any thumbnail, else one line.
    std::string said;
    for (const std::string &line : r.lines) {
        print_once(printed, line);
        said += (said.empty() ? "" : " ") + line;
    }
    const bool ok = r.status == 0;
    sheet.runs.push_back({"imgthumb batch " + std::to_string(BATCH_SIZE) + " " + images + " batch",
                          ok ? "wrote its thumbnails (it prints nothing then)" : said, url_path(log)});
    if (!ok) {
        sheet.batch_note = "The batch failed: " + (said.empty() ? "imgthumb ended with status " + std::to_string(r.status) : said);
        return false;
    }
    // The batch says only that it wrote some: what it wrote is in its folder.
    int written = 0;
    std::error_code ec;
    for (fs::directory_iterator it(out / "batch", ec), end; !ec && it != end; it.increment(ec)) written++;
    sheet.batch_note = "imgthumb batch wrote " + std::to_string(written) + (written == 1 ? " square" : " squares") +
                       " of size " + std::to_string(BATCH_SIZE) +
                       " into batch/, one of each PNG, JPEG, BMP and TGA file it could read.";
    for (Source &s : sources) {
        const std::string name = batch_output_name(s.sheet.name);
        if (!s.sheet.decoded || name.empty() || !fs::exists(out / "batch" / name, ec)) continue;
        SheetThumb t;
        t.operation = "batch, size " + std::to_string(BATCH_SIZE);
        if (!describe_thumb(t, "batch/" + name, out, "batch--" + name + ".png")) s.failed = true;
        s.sheet.thumbs.push_back(t);
    }
    return true;
}

// Reads a source for its size and, when browsers cannot show its format, a
// PNG preview; keeps its bytes inside the output folder for the page.
void describe_source(Source &s, const fs::path &out)
{
    SheetSource &sheet = s.sheet;
    sheet.format = sniff_format(s.input);
    Image img;
    if (!load_image(s.input.string().c_str(), &img)) {
        sheet.error = imgthumbnail_last_error();
        return;
    }
    sheet.decoded = true;
    sheet.width = img.width;
    sheet.height = img.height;
    const std::string kept = "originals/" + sheet.name;
    if (keep_original(s.input, out / kept)) {
        sheet.file = url_path(kept);
        sheet.shown = sheet.file;
    }
    if (!browser_shows(sheet.format)) {
        const std::string preview = "previews/" + sheet.name + ".png";
        if (write_preview(img, out / preview)) sheet.shown = url_path(preview);
    }
    std::free(img.pixels);
    if (sheet.shown.empty()) {
        std::fprintf(stderr, "%s: cannot copy it into %s\n", s.input.string().c_str(), (out / "originals").string().c_str());
        s.failed = true;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s IMAGE_FOLDER OUTPUT_FOLDER [IMGTHUMB]\n", argv[0]);
        return 2;
    }
    const fs::path images = argv[1], out = argv[2];
    // By default the command that the same build made, beside this program.
    const fs::path self = argv[0];
    const std::string command =
        argc == 4 ? argv[3] : (self.parent_path() / IMGTHUMB_DEMO_COMMAND_NAME).string();
    std::error_code ec;
    if (!fs::is_directory(images, ec)) {
        std::fprintf(stderr, "%s is not a folder\n", argv[1]);
        return 2;
    }
    if (fs::path(command).has_parent_path() && !fs::exists(command, ec)) {
        std::fprintf(stderr, "no imgthumb command at %s (build the target imgthumb)\n", command.c_str());
        return 2;
    }
    // Only what this program writes is replaced, and never the images.
    for (const char *own : OWN_FOLDERS) {
        if (within(images, out / own)) {
            std::fprintf(stderr, "%s lies in %s, which this demo replaces\n", argv[1], (out / own).string().c_str());
            return 2;
        }
    }
    for (const char *own : OWN_FOLDERS) fs::remove_all(out / own, ec);
    fs::remove(out / PAGE_NAME, ec);
    for (const char *own : {"originals", "previews", "logs"}) {
        fs::create_directories(out / own, ec);
        if (ec) {
            std::fprintf(stderr, "cannot create %s: %s\n", (out / own).string().c_str(), ec.message().c_str());
            return 2;
        }
    }

    std::vector<Source> sources;
    for (fs::directory_iterator it(images, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !it->is_regular_file(ec)) continue;
        Source s;
        s.input = images / name;
        s.sheet.name = name;
        sources.push_back(s);
    }
    if (ec) {
        std::fprintf(stderr, "cannot list %s: %s\n", argv[1], ec.message().c_str());
        return 2;
    }
    std::sort(sources.begin(), sources.end(), [](const Source &a, const Source &b) { return a.input < b.input; });

    imgthumbnail_init();
    Sheet sheet;
    sheet.folder = argv[1];
    for (Source &s : sources) describe_source(s, out);
    std::vector<std::string> printed;
    if (!sources.empty())
        for (const Operation &op : operations()) run_operation(op, command, sources, out, sheet, printed);
    const bool batch_ok = run_batch(command, argv[1], sources, out, sheet, printed);
    imgthumbnail_cleanup();

    int made = 0, failed = 0;
    for (Source &s : sources) {
        for (const SheetThumb &t : s.sheet.thumbs) made += t.ok;
        failed += s.failed;
        s.sheet.failed = s.failed;
        sheet.sources.push_back(s.sheet);
    }
    const fs::path page = out / PAGE_NAME;
    if (!write_contact_sheet(page.string().c_str(), sheet)) {
        std::fprintf(stderr, "cannot write %s\n", page.string().c_str());
        return 2;
    }
    std::printf("%d thumbnails of %zu files in %s, %d files failed%s\ncontact sheet: %s\n", made, sources.size(),
                argv[1], failed, batch_ok ? "" : ", the batch failed", page.string().c_str());
    return failed || !batch_ok ? 1 : 0;
}
