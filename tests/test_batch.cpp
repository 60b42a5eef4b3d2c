// The batch run: which entries are taken and what their thumbnails are
// called, the outcomes and their messages, the output directory step, and
// the guards for a run into its own directory and for over-long paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "base/error.h"
#include "imgthumbnail.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

// The last-error message as a long message reads: its first ERR_MAX characters.
std::string as_kept(const std::string &message)
{
    return message.substr(0, ERR_MAX);
}

// a, the separator the batch joins with, b.
std::string join(const std::string &a, const std::string &b)
{
    return a + PATH_SEP + b;
}

std::set<std::string> names_in(const std::string &dir)
{
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(fs::path(dir))) names.insert(e.path().filename().string());
    return names;
}

// Every regular file of dir with its bytes.
std::map<std::string, std::vector<uint8_t>> snapshot(const std::string &dir)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto &e : fs::directory_iterator(fs::path(dir)))
        if (e.is_regular_file()) files[e.path().filename().string()] = read_bytes(e.path().generic_string());
    return files;
}

// The bytes imgthumbnail_square writes for input under the output name
// out_name, made in a folder of their own.
std::vector<uint8_t> square_bytes(const std::string &input, const std::string &work, const std::string &out_name,
                                  int size)
{
    fs::create_directories(fs::path(work));
    const std::string out = work + "/" + out_name;
    EXPECT_EQ(imgthumbnail_square(input.c_str(), out.c_str(), size), 1) << imgthumbnail_last_error();
    return read_bytes(out);
}

// dir made longer, still naming the same directory, by "/." steps (and a
// last "/" when an odd length is left).
std::string padded(std::string dir, size_t length)
{
    while (dir.size() + 2 <= length) dir += "/.";
    if (dir.size() < length) dir += "/";
    return dir;
}

struct NamingCase {
    const char *name;
    const char *output; // nullptr: no candidate
};

TEST(Batch, NamingOfEntries)
{
    const NamingCase table[] = {
        {"photo.jpg", "photo.png"},
        {"Holiday.JPEG", "Holiday.png"},
        {"scan.BMP", "scan.BMP"},
        {"icon.Tga", "icon.Tga"},
        {"logo.png", "logo.png"},
        {"archive.tar.png", "archive.tar.png"},
        {"notes.txt", nullptr},
        {"image.png.bak", nullptr},
        {".cover.png", nullptr},
        {"README", nullptr},
        {"anim.gif", nullptr},
        // Further names: spaces, odd letter case, edge dots.
        {"my photo 2.jpg", "my photo 2.png"},
        {"x.jPeG", "x.png"},
        {"a.b.c.TGA", "a.b.c.TGA"},
        {"PNG", nullptr},
        {"photo.", nullptr},
        {".png", nullptr},
        {".", nullptr},
        {"..", nullptr},
        {"photo.jpe", nullptr},
        {"photo.pngx", nullptr},
        {".jpg", nullptr},
        {"..jpg", nullptr},
        {"a..png", "a..png"},
    };
    for (const NamingCase &c : table) {
        char in_path[PATH_BUF_SIZE] = "untouched", out_path[PATH_BUF_SIZE] = "untouched";
        const BatchEntry entry = batch_entry_paths("in", "out", c.name, in_path, out_path);
        if (!c.output) {
            EXPECT_EQ(entry, ENTRY_SKIPPED) << c.name;
            continue;
        }
        EXPECT_EQ(entry, ENTRY_READY) << c.name;
        EXPECT_EQ(std::string(in_path), join("in", c.name)) << c.name;
        EXPECT_EQ(std::string(out_path), join("out", c.output)) << c.name;
    }
}

TEST(Batch, EntryPathsThatDoNotFitAreNeverCut)
{
    char in_path[PATH_BUF_SIZE], out_path[PATH_BUF_SIZE];
    // "<dir><sep>a.png" is the directory's length + 6: at most 4095 fits.
    const std::string fits(PATH_BUF_SIZE - 7, 'd'), too_long(PATH_BUF_SIZE - 6, 'd');
    EXPECT_EQ(batch_entry_paths(fits.c_str(), "out", "a.png", in_path, out_path), ENTRY_READY);
    EXPECT_EQ(std::string(in_path), join(fits, "a.png"));
    EXPECT_EQ(batch_entry_paths(too_long.c_str(), "out", "a.png", in_path, out_path), ENTRY_TOO_LONG);
    // The output side: a.jpg's output a.png is just as long.
    EXPECT_EQ(batch_entry_paths("in", fits.c_str(), "a.jpg", in_path, out_path), ENTRY_READY);
    EXPECT_EQ(std::string(out_path), join(fits, "a.png"));
    EXPECT_EQ(batch_entry_paths("in", too_long.c_str(), "a.jpg", in_path, out_path), ENTRY_TOO_LONG);
    // Names are filtered first: a non-candidate stays one.
    EXPECT_EQ(batch_entry_paths(too_long.c_str(), "out", "a.txt", in_path, out_path), ENTRY_SKIPPED);
}

TEST(Batch, RunWritesEveryCandidateUnderItsName)
{
    const std::string dir = scratch_dir(), in = dir + "/in";
    fs::create_directories(fs::path(in + "/sub.png.d"));
    const Pixels pic = gradient(21, 13);
    for (const char *name : {"photo.jpg", "Holiday.JPEG", "my photo 2.jpg"}) write_jpg(in + "/" + name, pic);
    for (const char *name : {"scan.BMP", "icon.Tga", "logo.png", "archive.tar.png", "image.png.bak", ".cover.png",
                             "anim.gif", "README"})
        write_png(in + "/" + name, pic);
    write_text(in + "/notes.txt", "not an image");
    write_png(in + "/sub.png.d/inner.png", pic); // subdirectories are not entered
    const auto originals = snapshot(in);

    const std::set<std::string> expected = {"photo.png", "Holiday.png", "my photo 2.png", "scan.BMP",
                                            "icon.Tga",  "logo.png",    "archive.tar.png"};
    // With and without a trailing separator; the second output directory
    // holds a stale logo.png, which is replaced.
    const struct { std::string input, output; } runs[] = {{in, dir + "/out"}, {in + "/", dir + "/out2"}};
    fs::create_directories(fs::path(dir + "/out2"));
    write_text(dir + "/out2/logo.png", "stale");
    for (const auto &run : runs) {
        imgthumbnail_square(nullptr, nullptr, 1); // a message the run must empty
        ASSERT_EQ(imgthumbnail_batch(run.input.c_str(), run.output.c_str(), 12), 1) << imgthumbnail_last_error();
        EXPECT_STREQ(imgthumbnail_last_error(), "");
        EXPECT_EQ(names_in(run.output), expected) << run.input;
        // Each thumbnail is the square operation's, in the format its name says.
        const struct { const char *input, *output; } checks[] = {
            {"Holiday.JPEG", "Holiday.png"}, {"scan.BMP", "scan.BMP"}, {"icon.Tga", "icon.Tga"},
            {"archive.tar.png", "archive.tar.png"}};
        for (auto c : checks)
            EXPECT_EQ(read_bytes(run.output + "/" + c.output),
                      square_bytes(in + "/" + c.input, dir + "/direct", c.output, 12))
                << c.output;
    }
    EXPECT_EQ(read_bytes(dir + "/out/scan.BMP")[0], 'B');
    EXPECT_EQ(snapshot(in), originals);
}

struct OutcomeCase {
    const char *what;
    std::function<void(const std::string &dir)> setup;
    const char *input, *output; // relative to the test's folder
    const char *message;        // its '%s' is the input or output as passed
    bool output_is_dir;         // afterwards
};

TEST(Batch, OutcomesAndTheirMessages)
{
    const Pixels pic = gradient(9, 9);
    const std::string long_out = "o/" + std::string(PATH_BUF_SIZE, 'x');
    const OutcomeCase table[] = {
        {"empty input", [](const std::string &d) { fs::create_directories(fs::path(d + "/in")); }, "in", "out",
         "batch: no images found in '%s'", true},
        {"no candidate",
         [&](const std::string &d) {
             fs::create_directories(fs::path(d + "/in/folder"));
             write_text(d + "/in/notes.txt", "x");
             write_text(d + "/in/README", "x");
             write_png(d + "/in/.hidden.png", pic);
             write_png(d + "/in/image.png.bak", pic);
         },
         "in", "out", "batch: no images found in '%s'", true},
        {"only undecodable",
         [](const std::string &d) {
             fs::create_directories(fs::path(d + "/in"));
             write_text(d + "/in/bad.png", "not a png");
             write_bytes(d + "/in/empty.JPG", {});
         },
         "in", "out", "batch: no files could be processed in '%s'", true},
        {"subdirectory named old.png", [](const std::string &d) { fs::create_directories(fs::path(d + "/in/old.png")); },
         "in", "out", "batch: no files could be processed in '%s'", true},
        {"output is a regular file",
         [&](const std::string &d) {
             fs::create_directories(fs::path(d + "/in"));
             write_png(d + "/in/good.png", pic);
             write_text(d + "/out", "a file");
         },
         "in", "out", "batch: no files could be processed in '%s'", false},
        {"missing input", [](const std::string &) {}, "in", "new/out", "batch: cannot open directory '%s'", true},
        {"input is a regular file", [](const std::string &d) { write_text(d + "/in", "a file"); }, "in", "out",
         "batch: cannot open directory '%s'", true},
        {"inner level of output is a file",
         [&](const std::string &d) {
             fs::create_directories(fs::path(d + "/in"));
             write_png(d + "/in/good.png", pic);
             write_text(d + "/file", "a file");
         },
         "in", "file/out", "batch: cannot create output dir '%s'", false},
        {"output path too long",
         [&](const std::string &d) {
             fs::create_directories(fs::path(d + "/in"));
             write_png(d + "/in/good.png", pic);
         },
         "in", long_out.c_str(), "batch: cannot create output dir '%s'", false},
    };
    const std::string base = scratch_dir();
    for (const OutcomeCase &c : table) {
        SCOPED_TRACE(c.what);
        const std::string dir = base + "/" + std::to_string(&c - table);
        fs::create_directories(fs::path(dir));
        c.setup(dir);
        const std::string input = dir + "/" + c.input, output = dir + "/" + c.output;
        const auto top_names = names_in(dir);
        const auto top_files = snapshot(dir);
        const bool input_is_dir = is_directory(input.c_str());
        const auto inputs = input_is_dir ? snapshot(input) : top_files;

        EXPECT_EQ(imgthumbnail_batch(input.c_str(), output.c_str(), 8), 0);
        std::string message = c.message;
        const bool about_output = message.find("output") != std::string::npos;
        message.replace(message.find("%s"), 2, about_output ? output : input);
        EXPECT_EQ(std::string(imgthumbnail_last_error()), as_kept(message));

        EXPECT_EQ(is_directory(output.c_str()), c.output_is_dir);
        if (c.output_is_dir) EXPECT_TRUE(names_in(output).empty());
        else EXPECT_EQ(names_in(dir), top_names); // nothing created
        EXPECT_EQ(snapshot(dir), top_files);      // no file changed
        if (input_is_dir) EXPECT_EQ(snapshot(input), inputs);
    }
}

TEST(Batch, FailedEntriesDoNotStopTheRun)
{
    const std::string dir = scratch_dir();
    fs::create_directories(fs::path(dir + "/in/z.png"));
    write_text(dir + "/in/a.png", "not an image");
    write_png(dir + "/in/good.png", gradient(30, 20));
    write_text(dir + "/in/y.jpg", "not an image either");
    ASSERT_EQ(imgthumbnail_batch((dir + "/in").c_str(), (dir + "/out").c_str(), 10), 1);
    EXPECT_STREQ(imgthumbnail_last_error(), "");
    EXPECT_EQ(names_in(dir + "/out"), std::set<std::string>{"good.png"});
    EXPECT_EQ(read_bytes(dir + "/out/good.png"), square_bytes(dir + "/in/good.png", dir + "/direct", "good.png", 10));
}

TEST(Batch, JpegAndPngOfOneStemShareTheirThumbnail)
{
    const std::string dir = scratch_dir();
    fs::create_directories(fs::path(dir + "/in"));
    write_jpg(dir + "/in/p.jpg", gradient(40, 30));
    write_png(dir + "/in/p.png", gradient(17, 33));
    ASSERT_EQ(imgthumbnail_batch((dir + "/in").c_str(), (dir + "/out").c_str(), 16), 1);
    EXPECT_EQ(names_in(dir + "/out"), std::set<std::string>{"p.png"});
    // Whichever the listing delivered last.
    const auto got = read_bytes(dir + "/out/p.png");
    const auto from_jpg = square_bytes(dir + "/in/p.jpg", dir + "/direct/j", "p.png", 16);
    const auto from_png = square_bytes(dir + "/in/p.png", dir + "/direct/p", "p.png", 16);
    EXPECT_TRUE(got == from_jpg || got == from_png);
}

TEST(Batch, RunIntoItsOwnDirectoryNeverReplacesAFile)
{
    const std::string base = scratch_dir();
    // The same directory, spelled in several ways.
    const std::vector<std::function<std::string(const std::string &)>> spellings = {
        [](const std::string &d) { return d; },
        [](const std::string &d) { return d + "/"; },
        [](const std::string &d) { return d + "/."; },
        [](const std::string &d) { return "./" + d; },
        [](const std::string &d) { return d + "/sub/.."; },
        [](const std::string &d) { return join(join(d, "sub"), ".."); },
    };
    for (size_t i = 0; i < spellings.size(); i++) {
        const std::string dir = base + "/" + std::to_string(i);
        fs::create_directories(fs::path(dir + "/sub"));
        write_png(dir + "/a.png", gradient(20, 20));
        write_png(dir + "/c.BMP", gradient(10, 30));
        write_png(dir + "/d.tga", gradient(30, 10));
        write_jpg(dir + "/b.jpg", gradient(25, 15));
        write_text(dir + "/bad.png", "not an image");
        const auto originals = snapshot(dir);
        const std::string out = spellings[i](dir);
        SCOPED_TRACE(out);

        // Only b.jpg's thumbnail has a free name.
        ASSERT_EQ(imgthumbnail_batch(dir.c_str(), out.c_str(), 8), 1) << imgthumbnail_last_error();
        EXPECT_STREQ(imgthumbnail_last_error(), "");
        auto after = snapshot(dir);
        EXPECT_EQ(after.count("b.png"), 1u);
        EXPECT_EQ(after["b.png"], square_bytes(dir + "/b.jpg", base + "/direct" + std::to_string(i), "b.png", 8));
        after.erase("b.png");
        EXPECT_EQ(after, originals);

        // Again: now every output name is taken, so nothing is written.
        const auto second = snapshot(dir);
        EXPECT_EQ(imgthumbnail_batch(dir.c_str(), out.c_str(), 8), 0);
        EXPECT_EQ(std::string(imgthumbnail_last_error()), "batch: no files could be processed in '" + dir + "'");
        EXPECT_EQ(snapshot(dir), second);
    }
}

TEST(Batch, ListingPatternThatDoesNotFit)
{
    const std::string dir = scratch_dir();
    fs::create_directories(fs::path(dir + "/in"));
    write_png(dir + "/in/a.png", gradient(8, 8));
    // "<input><sep>*" needs the input's length + 2 characters: 4094 does not
    // fit. Cut, it would name the directory itself.
    const std::string input = padded(dir + "/in", PATH_BUF_SIZE - 2);
    ASSERT_EQ(input.size(), (size_t)PATH_BUF_SIZE - 2);
    EXPECT_EQ(imgthumbnail_batch(input.c_str(), (dir + "/out").c_str(), 8), 0);
    EXPECT_EQ(std::string(imgthumbnail_last_error()), as_kept("batch: cannot open directory '" + input + "'"));
    EXPECT_TRUE(names_in(dir + "/out").empty());
}

#ifndef _WIN32
// Windows' narrow calls stop at a few hundred characters, so real paths
// near the buffer's size exist only on POSIX systems.
TEST(Batch, LongEntryPathsFailAlone)
{
    const std::string dir = scratch_dir();
    fs::create_directories(fs::path(dir + "/in"));
    fs::create_directories(fs::path(dir + "/out"));
    write_png(dir + "/in/a.png", gradient(8, 8));
    write_png(dir + "/in/longer-name.png", gradient(8, 8));

    // Input side: "a.png" still fits after the long directory, the longer
    // name does not.
    const std::string long_in = padded(dir + "/in", PATH_BUF_SIZE - 11);
    ASSERT_EQ(imgthumbnail_batch(long_in.c_str(), (dir + "/out1").c_str(), 8), 1) << imgthumbnail_last_error();
    EXPECT_EQ(names_in(dir + "/out1"), std::set<std::string>{"a.png"});

    // Output side: a cut output path would leave a file under a shortened
    // name in the output directory.
    const std::string long_out = padded(dir + "/out", PATH_BUF_SIZE - 11);
    ASSERT_EQ(imgthumbnail_batch((dir + "/in").c_str(), long_out.c_str(), 8), 1) << imgthumbnail_last_error();
    EXPECT_EQ(names_in(dir + "/out"), std::set<std::string>{"a.png"});

    // Every entry too long: candidates, none written.
    const std::string longer_in = padded(dir + "/in", PATH_BUF_SIZE - 5);
    EXPECT_EQ(imgthumbnail_batch(longer_in.c_str(), (dir + "/out3").c_str(), 8), 0);
    EXPECT_EQ(std::string(imgthumbnail_last_error()),
              as_kept("batch: no files could be processed in '" + longer_in + "'"));
    EXPECT_TRUE(names_in(dir + "/out3").empty());
}
#endif

} // namespace
