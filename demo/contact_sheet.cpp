// Writes the contact sheet as one self-contained HTML page (inline style and
// script, no external resources), so it opens from the disk in any browser.
#include "contact_sheet.h"

#include <algorithm>
#include <cstdio>

namespace {

// Outline styles for the smart crops of one source; colour and line style
// both differ, so they stay apart for readers who cannot tell the colours.
const char *const OUTLINE_COLOURS[] = {"#ff1f8f", "#0096ff", "#25c025", "#ff8c00"};
const char *const OUTLINE_LINES[] = {"solid", "dashed", "dotted", "double"};
constexpr int OUTLINE_COUNT = 4;

const char *const PAGE_STYLE = R"(
body { font: 14px/1.45 "DejaVu Sans", Verdana, sans-serif; margin: 24px; background: #f3f3f1; color: #222; }
h1 { font-size: 21px; margin: 0 0 6px; }
p.note { margin: 0 0 8px; color: #444; max-width: 70em; }
#image-check { font-weight: bold; }
#image-check.bad, p.failures { color: #b00020; }
section { background: #fff; border: 1px solid #d8d8d4; border-radius: 6px; padding: 12px 16px 14px; margin: 14px 0; }
h2 { font-size: 15px; margin: 0 0 10px; }
h2 span { font-weight: normal; color: #555; }
.row { display: flex; gap: 22px; align-items: flex-start; }
.thumbs { display: flex; flex-wrap: wrap; gap: 14px 18px; align-items: flex-start; }
figure { margin: 0; }
figcaption { font-size: 12px; color: #444; margin-top: 4px; max-width: 250px; }
figcaption b { color: #111; }
.pic { display: inline-block; position: relative; line-height: 0; outline: 1px solid #ccc;
       background: repeating-conic-gradient(#e2e2e2 0% 25%, #fff 0% 50%) 0 0 / 16px 16px; }
.original .pic img { max-width: 360px; max-height: 300px; }
.thumb .pic img { max-width: 260px; }
.kept { position: absolute; box-sizing: border-box; border-width: 3px; }
.swatch { display: inline-block; width: 14px; height: 9px; border-width: 3px; vertical-align: middle; margin-right: 4px; }
.failed { width: 170px; padding: 8px; border: 1px dashed #b00020; color: #b00020; font-size: 12px; line-height: 1.4; }
.failed.unread { width: auto; margin: 4px 0; font-family: "DejaVu Sans Mono", monospace; }
a { color: #0a58ca; }
)";

// Marks the page once everything has loaded: the status line and the
// body's data-images-loaded="loaded/total" say whether any image is missing.
const char *const PAGE_SCRIPT = R"(
window.addEventListener('load', function () {
  var images = document.images, loaded = 0;
  for (var i = 0; i < images.length; i++) {
    if (images[i].complete && images[i].naturalWidth > 0) loaded++;
    else images[i].parentNode.style.outline = '3px solid #b00020';
  }
  var status = document.getElementById('image-check');
  if (loaded === images.length) {
    status.textContent = 'All ' + loaded + ' images loaded.';
  } else {
    status.textContent = (images.length - loaded) + ' of ' + images.length + ' images did not load.';
    status.className = 'bad';
  }
  document.body.setAttribute('data-images-loaded', loaded + '/' + images.length);
});
)";

std::string html(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string percent(double part, double whole)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f%%", 100.0 * part / whole);
    return buf;
}

std::string dims(int w, int h)
{
    return std::to_string(w) + " &times; " + std::to_string(h);
}

void put_thumb(std::string &out, const SheetThumb &t)
{
    out += "<figure class=\"thumb\">";
    if (t.ok) {
        out += "<div class=\"pic\"><img src=\"" + html(t.shown) + "\" width=\"" + std::to_string(t.width) +
               "\" height=\"" + std::to_string(t.height) + "\" alt=\"" + html(t.operation) + "\"></div>";
    } else {
        out += "<div class=\"failed\">failed: " + html(t.error) + "</div>";
    }
    out += "<figcaption><b>" + html(t.operation) + "</b>";
    if (t.ok) {
        out += "<br>" + dims(t.width, t.height) + " " + t.format;
        if (t.shown != t.file)
            out += "<br>shown through a PNG copy of <a href=\"" + html(t.file) + "\">the " + t.format + " file</a>";
    }
    if (t.outline >= 0) {
        int k = t.outline % OUTLINE_COUNT;
        out += std::string("<br><span class=\"swatch\" style=\"border-style: ") + OUTLINE_LINES[k] +
               "; border-color: " + OUTLINE_COLOURS[k] + "\"></span>kept " + dims(t.region.w, t.region.h) +
               " at (" + std::to_string(t.region.x) + ", " + std::to_string(t.region.y) + ")";
    } else if (t.ok && t.operation.compare(0, 5, "smart") == 0) {
        out += "<br>(kept region not known)";
    }
    out += "</figcaption></figure>\n";
}

void put_source(std::string &out, const SheetSource &s)
{
    out += "<section class=\"source\" id=\"" + html(url_path(s.name)) + "\">\n<h2>" + html(s.name) + " <span>";
    if (!s.decoded) {
        // A file the command could not read fails alike in every run: each
        // different line it gave once.
        std::vector<std::string> lines;
        for (const SheetThumb &t : s.thumbs)
            if (!t.ok && std::find(lines.begin(), lines.end(), t.error) == lines.end()) lines.push_back(t.error);
        if (lines.empty()) lines.push_back(s.error);
        out += "could not be read</span></h2>\n";
        for (const std::string &line : lines) out += "<div class=\"failed unread\">" + html(line) + "</div>\n";
        out += "</section>\n";
        return;
    }
    out += dims(s.width, s.height) + " " + html(s.format) + "</span></h2>\n<div class=\"row\">\n";
    out += "<figure class=\"original\"><div class=\"pic\"><img src=\"" + html(s.shown) + "\" alt=\"" + html(s.name) + "\">";
    for (const SheetThumb &t : s.thumbs) {
        if (t.outline < 0) continue;
        int k = t.outline % OUTLINE_COUNT;
        out += std::string("<div class=\"kept\" title=\"") + html(t.operation) + "\" style=\"border-style: " +
               OUTLINE_LINES[k] + "; border-color: " + OUTLINE_COLOURS[k] + "; left: " +
               percent(t.region.x, s.width) + "; top: " + percent(t.region.y, s.height) +
               "; width: " + percent(t.region.w, s.width) + "; height: " + percent(t.region.h, s.height) +
               "\"></div>";
    }
    out += "</div><figcaption><b>source</b><br>" + dims(s.width, s.height) + " " + html(s.format);
    if (s.shown != s.file)
        out += "<br>shown through a PNG copy of <a href=\"" + html(s.file) + "\">the " + html(s.format) + " file</a>";
    out += "</figcaption></figure>\n<div class=\"thumbs\">\n";
    for (const SheetThumb &t : s.thumbs) put_thumb(out, t);
    out += "</div>\n</div>\n</section>\n";
}

} // namespace

std::string url_path(const std::string &path)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += (char)c;
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 15];
        }
    }
    return out;
}

int write_contact_sheet(const char *path, const Sheet &sheet)
{
    // The folder's own name heads the page; its whole path follows.
    std::string name = sheet.folder;
    while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) name.pop_back();
    size_t cut = name.find_last_of("/\\");
    if (cut != std::string::npos && cut + 1 < name.size()) name.erase(0, cut + 1);
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Thumbnails of " +
                      html(name) + "</title>\n<style>" + PAGE_STYLE + "</style>\n</head>\n<body>\n";
    out += "<h1>Thumbnails of " + html(name) + "</h1>\n";
    out += "<p class=\"note\">Folder: " + html(sheet.folder) + "</p>\n";
    out += "<p class=\"note\"><b>square</b>: the largest centred square, scaled to size &times; size. "
           "<b>aspect</b>: the largest centred region of 1:1, 4:3, 16:9 or 3:2, scaled to size pixels wide. "
           "<b>smart</b>: the window with the most edge detail, scaled to exactly width &times; height; "
           "the outlines on the source show the region each smart thumbnail kept. "
           "<b>batch</b>: a square thumbnail of every PNG, JPEG, BMP and TGA file of the folder. "
           "The chequered background shows through transparent pixels; JPEG and BMP have no alpha, "
           "so their thumbnails are flattened over white.</p>\n";
    out += "<p class=\"note\">Every thumbnail was made by the command <code>imgthumb</code>, one run per "
           "operation over the folder's files (the runs are listed at the end).</p>\n";
    out += "<p class=\"note\">" + html(sheet.batch_note) + "</p>\n";
    std::string failed;
    int n_failed = 0;
    for (const SheetSource &s : sheet.sources) {
        if (!s.failed) continue;
        failed += std::string(n_failed++ ? ", " : "") + "<a href=\"#" + html(url_path(s.name)) + "\">" + html(s.name) +
                  "</a>";
    }
    if (n_failed)
        out += "<p class=\"note failures\"><b>" + std::to_string(n_failed) + " of " +
               std::to_string(sheet.sources.size()) + " files failed:</b> " + failed + ".</p>\n";
    out += "<p class=\"note\" id=\"image-check\">Images are loading&hellip;</p>\n";
    for (const SheetSource &s : sheet.sources) put_source(out, s);
    out += "<section class=\"runs\">\n<h2>The command's runs <span>(each run's standard error is linked)</span></h2>\n<ul>\n";
    for (const SheetRun &r : sheet.runs)
        out += "<li><code>" + html(r.command) + "</code>: <a href=\"" + html(r.log) + "\">" + html(r.summary) +
               "</a></li>\n";
    out += "</ul>\n</section>\n";
    out += "<script>" + std::string(PAGE_SCRIPT) + "</script>\n</body>\n</html>\n";

    std::FILE *f = std::fopen(path, "wb");
    if (!f) return 0;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fclose(f) == 0 && ok;
    return ok ? 1 : 0;
}
