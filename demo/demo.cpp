// The demo: makes thumbnails of every image in a folder with each of the
// library's operations and writes a contact sheet (index.html) beside them.
//
// usage: imgthumb_demo IMAGE_FOLDER OUTPUT_FOLDER
//
// Into OUTPUT_FOLDER it writes thumbs/<image name>/ (one folder of
// thumbnails per image), batch/ (the batch run over IMAGE_FOLDER), previews/
// (PNG copies of what browsers cannot show) and index.html. Those four are
// replaced on every run; nothing else in OUTPUT_FOLDER is touched.
//
// Exit status: 0 when every operation succeeded, 1 when the sheet was
// written but some operation failed, 2 when nothing could be done.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "contact_sheet.h"
#include "io/image_io.h"
#include "imgthumbnail.h"
#include "pixels/resample.h"
#include "smart_region.h"

namespace fs = std::filesystem;

namespace {

constexpr int SQUARE_SIZE = 160;
constexpr int ASPECT_SIZE = 200;
constexpr int BATCH_SIZE = 128;
// Source images are shown as they are when a browser can; others through a
// PNG copy reduced to at most this many pixels a side.
constexpr int PREVIEW_MAX_SIDE = 1024;

const char *const RATIO_NAMES[] = {"1:1", "4:3", "16:9", "3:2"};
const char *const RATIO_FILES[] = {"1x1", "4x3", "16x9", "3x2"};
// Each ratio is written in another format, so that the sheet shows every
// encoder (and JPEG/BMP flattening transparent sources over white).
const char *const RATIO_EXTS[] = {"png", "jpg", "bmp", "tga"};

struct SmartSize {
    int width, height;
    const char *ext;
};
// A square, a wide and a tall thumbnail. The smart crop searches an analysis
// image of at most 160 pixels a side with a window of the thumbnail's size,
// so thumbnails below that size are the ones whose crops differ visibly.
const SmartSize SMART_SIZES[] = {{96, 96, "png"}, {144, 81, "jpg"}, {72, 120, "png"}};

int s_failures;

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

std::string lower_ext(const fs::path &p)
{
    std::string e = p.extension().string();
    if (!e.empty()) e.erase(0, 1);
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

// A URL for target, relative to the folder of the page.
std::string page_url(const fs::path &target, const fs::path &page_dir)
{
    std::error_code ec;
    fs::path rel = fs::relative(target, page_dir, ec);
    if (!ec && !rel.empty()) return url_path(rel.generic_string());
    fs::path abs = fs::absolute(target, ec);
    std::string g = abs.generic_string();
    return (g.size() && g[0] == '/' ? "file://" : "file:///") + url_path(g);
}

// Writes image as a PNG at preview, reduced when it is large. 1 on success.
int write_preview(const Image &image, const fs::path &preview)
{
    int side = std::max(image.width, image.height);
    if (side <= PREVIEW_MAX_SIDE) return save_image(preview.string().c_str(), image);
    int w = std::max(1, (int)((long long)image.width * PREVIEW_MAX_SIDE / side));
    int h = std::max(1, (int)((long long)image.height * PREVIEW_MAX_SIDE / side));
    Image small = resize_image(image, w, h);
    if (!small.pixels) return 0;
    int ok = save_image(preview.string().c_str(), small);
    std::free(small.pixels);
    return ok;
}

// Fills in a finished thumbnail's size and, for formats browsers may not
// show, a PNG copy to show instead.
void describe_thumb(SheetThumb &t, const fs::path &file, const fs::path &out, const std::string &preview_name)
{
    t.file = page_url(file, out);
    t.shown = t.file;
    t.format = format_of_ext(lower_ext(file));
    Image img;
    if (!load_image(file.string().c_str(), &img)) {
        t.ok = false;
        t.error = std::string("written, but it does not read back: ") + imgthumbnail_last_error();
        s_failures++;
        return;
    }
    t.width = img.width;
    t.height = img.height;
    if (t.format == "BMP" || t.format == "TGA") {
        fs::path preview = out / "previews" / preview_name;
        if (save_image(preview.string().c_str(), img)) t.shown = page_url(preview, out);
    }
    std::free(img.pixels);
}

void record(SheetSource &s, SheetThumb t, int ok, const fs::path &file, const fs::path &out)
{
    t.ok = ok != 0;
    if (ok) {
        describe_thumb(t, file, out, s.name + "--" + file.filename().string() + ".png");
    } else {
        t.error = imgthumbnail_last_error();
        std::fprintf(stderr, "%s: %s failed: %s\n", s.name.c_str(), t.operation.c_str(), t.error.c_str());
        s_failures++;
    }
    s.thumbs.push_back(t);
}

void thumbnails_of(SheetSource &s, const fs::path &input, const fs::path &out)
{
    std::error_code ec;
    fs::path dir = out / "thumbs" / s.name;
    fs::create_directories(dir, ec);
    std::string in = input.string();

    fs::path square = dir / ("square-" + std::to_string(SQUARE_SIZE) + ".png");
    SheetThumb t;
    t.operation = "square " + std::to_string(SQUARE_SIZE);
    record(s, t, imgthumbnail_square(in.c_str(), square.string().c_str(), SQUARE_SIZE), square, out);

    for (int r = 0; r < 4; r++) {
        fs::path file = dir / (std::string("aspect-") + RATIO_FILES[r] + "-" + std::to_string(ASPECT_SIZE) + "." +
                               RATIO_EXTS[r]);
        SheetThumb a;
        a.operation = std::string("aspect ") + RATIO_NAMES[r] + ", size " + std::to_string(ASPECT_SIZE);
        record(s, a, imgthumbnail_aspect(in.c_str(), file.string().c_str(), ASPECT_SIZE, r), file, out);
    }

    int outline = 0;
    for (const SmartSize &z : SMART_SIZES) {
        std::string size = std::to_string(z.width) + "x" + std::to_string(z.height);
        fs::path file = dir / ("smart-" + size + "." + z.ext);
        SheetThumb m;
        m.operation = "smart " + std::to_string(z.width) + " \xC3\x97 " + std::to_string(z.height);
        int ok = imgthumbnail_smart(in.c_str(), file.string().c_str(), z.width, z.height);
        if (ok && smart_kept_region(in.c_str(), z.width, z.height, &m.region)) {
            m.has_region = true;
            m.outline = outline++;
        }
        record(s, m, ok, file, out);
    }
}

// The name the batch gives the thumbnail of an entry: JPEG inputs become
// PNG files, other names stay. "" for entries the batch does not take.
std::string batch_output_name(const std::string &name)
{
    size_t dot = name.rfind('.');
    if (name.empty() || name[0] == '.' || dot == std::string::npos) return "";
    std::string ext = lower_ext(fs::path(name));
    if (ext == "jpg" || ext == "jpeg") return name.substr(0, dot) + ".png";
    if (ext == "png" || ext == "bmp" || ext == "tga") return name;
    return "";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IMAGE_FOLDER OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path images = argv[1], out = argv[2];
    std::error_code ec;
    if (!fs::is_directory(images, ec)) {
        std::fprintf(stderr, "%s is not a folder\n", argv[1]);
        return 2;
    }
    // Only what this program writes is replaced.
    for (const char *sub : {"thumbs", "batch", "previews"}) fs::remove_all(out / sub, ec);
    fs::remove(out / "index.html", ec);
    fs::create_directories(out / "previews", ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", (out / "previews").string().c_str(), ec.message().c_str());
        return 2;
    }

    std::vector<fs::path> files;
    for (fs::directory_iterator it(images, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!name.empty() && name[0] != '.' && it->is_regular_file(ec)) files.push_back(it->path());
    }
    if (ec) {
        std::fprintf(stderr, "cannot list %s: %s\n", argv[1], ec.message().c_str());
        return 2;
    }
    std::sort(files.begin(), files.end());

    imgthumbnail_init();
    Sheet sheet;
    sheet.folder = argv[1];
    int made = 0;
    for (const fs::path &input : files) {
        SheetSource s;
        s.name = input.filename().string();
        s.format = sniff_format(input);
        s.file = page_url(input, out);
        s.shown = s.file;
        Image img;
        if (!load_image(input.string().c_str(), &img)) {
            // Not an image: listed on the sheet, not counted as a failure.
            s.error = imgthumbnail_last_error();
            sheet.sources.push_back(s);
            continue;
        }
        s.decoded = true;
        s.width = img.width;
        s.height = img.height;
        if (!browser_shows(s.format)) {
            fs::path preview = out / "previews" / (s.name + ".png");
            if (write_preview(img, preview)) s.shown = page_url(preview, out);
        }
        std::free(img.pixels);
        thumbnails_of(s, input, out);
        sheet.sources.push_back(s);
    }

    fs::path batch_dir = out / "batch";
    if (imgthumbnail_batch(argv[1], batch_dir.string().c_str(), BATCH_SIZE)) {
        sheet.batch_note = "The batch wrote a square thumbnail of size " + std::to_string(BATCH_SIZE) +
                           " of each PNG, JPEG, BMP and TGA file into batch/.";
    } else {
        sheet.batch_note = std::string("The batch failed: ") + imgthumbnail_last_error();
        std::fprintf(stderr, "batch failed: %s\n", imgthumbnail_last_error());
        s_failures++;
    }
    for (SheetSource &s : sheet.sources) {
        std::string name = batch_output_name(s.name);
        if (!s.decoded || name.empty() || !fs::exists(batch_dir / name, ec)) continue;
        SheetThumb t;
        t.operation = "batch, size " + std::to_string(BATCH_SIZE);
        t.ok = true;
        describe_thumb(t, batch_dir / name, out, "batch--" + name + ".png");
        s.thumbs.push_back(t);
    }
    for (const SheetSource &s : sheet.sources)
        for (const SheetThumb &t : s.thumbs) made += t.ok;

    fs::path page = out / "index.html";
    if (!write_contact_sheet(page.string().c_str(), sheet)) {
        std::fprintf(stderr, "cannot write %s\n", page.string().c_str());
        return 2;
    }
    imgthumbnail_cleanup();
    std::printf("%d thumbnails of %zu files in %s, %d operations failed\ncontact sheet: %s\n", made, files.size(),
                argv[1], s_failures, page.string().c_str());
    return s_failures ? 1 : 0;
}
