// Paths as callers really pass them: printf specials, spaces, bytes beyond
// ASCII, and lengths around the message limit and the batch's path buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "base/error.h"
#include "imgthumbnail.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

std::string last_error() { return imgthumbnail_last_error(); }

// Names that a formatting slip would misread, and bytes beyond ASCII (UTF-8
// and a lone Latin-1 byte): every operation takes them byte for byte.
TEST(BadPaths, SpecialCharactersAreTakenLiterally)
{
    const char *names[] = {
        "100% %s %d %n %x %%.png", "with  spaces .png", "caf\xC3\xA9 \xE2\x82\xAC.png", "\xE9t\xE9.png",
        "quote'single.png",
    };
    const std::string dir = scratch_dir();
    for (const char *name : names) {
        SCOPED_TRACE(name);
        const std::string in = dir + "/" + name, out = dir + "/thumb " + name;
        write_png(in, gradient(20, 10));
        EXPECT_EQ(imgthumbnail_square(in.c_str(), out.c_str(), 8), 1) << last_error();
        EXPECT_EQ(read_pixels(out).w, 8);
        EXPECT_EQ(imgthumbnail_smart(in.c_str(), out.c_str(), 6, 4), 1) << last_error();
        EXPECT_EQ(read_pixels(out).w, 6);

        const std::string missing = dir + "/missing " + name;
        EXPECT_EQ(imgthumbnail_aspect(missing.c_str(), out.c_str(), 8, 1), 0);
        EXPECT_EQ(last_error(), "cannot decode '" + missing + "': can't fopen");
        const std::string nowhere = dir + "/no dir " + name + "/t.png";
        EXPECT_EQ(imgthumbnail_square(in.c_str(), nowhere.c_str(), 8), 0);
        EXPECT_EQ(last_error(), "cannot encode '" + nowhere + "' (check the extension)");
        EXPECT_EQ(imgthumbnail_batch(missing.c_str(), (dir + "/out").c_str(), 8), 0);
        EXPECT_EQ(last_error(), "batch: cannot open directory '" + missing + "'");
    }
}

// Messages that would pass 511 characters are cut after the 511th, whatever
// the path's length; nothing is read or written past the buffers.
TEST(BadPaths, LongPathsCutTheMessageAt511)
{
    const std::string dir = scratch_dir();
    const std::string in = dir + "/in.png";
    write_png(in, gradient(20, 10));
    const size_t lengths[] = {400, 511, 512, 600, 5000};
    for (size_t n : lengths) {
        SCOPED_TRACE(n);
        const std::string missing = dir + "/" + std::string(n - dir.size() - 1, 'm');
        ASSERT_EQ(missing.size(), n);
        const struct {
            std::function<int()> call;
            std::string message;
        } cases[] = {
            {[&] { return imgthumbnail_square(missing.c_str(), "t.png", 8); },
             "cannot decode '" + missing + "': can't fopen"},
            {[&] { return imgthumbnail_smart(missing.c_str(), "t.png", 8, 8); },
             "cannot decode '" + missing + "': can't fopen"},
            {[&] { return imgthumbnail_aspect(in.c_str(), (missing + "/t.jpg").c_str(), 8, 2); },
             "cannot encode '" + missing + "/t.jpg' (check the extension)"},
            {[&] { return imgthumbnail_batch(missing.c_str(), dir.c_str(), 8); },
             "batch: cannot open directory '" + missing + "'"},
        };
        for (const auto &c : cases) {
            EXPECT_EQ(c.call(), 0);
            EXPECT_EQ(last_error(), c.message.substr(0, ERR_MAX));
            EXPECT_LE(std::strlen(imgthumbnail_last_error()), (size_t)ERR_MAX);
        }
    }
    EXPECT_FALSE(path_exists("t.png"));
}

#ifdef __linux__
// A directory path of exactly n characters under base, made of levels short
// enough for every file system.
std::string deep_dir(const std::string &base, size_t n)
{
    const size_t LEVEL = 200;
    std::string path = base;
    while (path.size() + 1 + LEVEL < n) path += "/" + std::string(LEVEL, 'd');
    path += "/" + std::string(n - path.size() - 1, 'e');
    fs::create_directories(fs::path(path));
    return path;
}

// Linux takes paths of up to 4095 characters: the batch makes thumbnails
// whose input and output paths use all of them, and an entry one character
// longer is a candidate that is not processed, never a cut path.
TEST(BadPaths, BatchPathsOf4095Characters)
{
    const std::string dir = scratch_dir();
    // "<dir>/a.png" is the directory's length + 6.
    const std::string in = deep_dir(dir + "/in", 4095 - 6);
    const std::string out = deep_dir(dir + "/out", 4095 - 6);
    write_png(in + "/a.png", gradient(20, 10));
    ASSERT_EQ((in + "/a.png").size(), 4095u);
    EXPECT_EQ(imgthumbnail_batch(in.c_str(), out.c_str(), 8), 1) << last_error();
    EXPECT_EQ(read_pixels(out + "/a.png").w, 8);

    // Only a 4096-character entry: listed, a candidate, never processed. It
    // is too long for any call by its full path, so it is made and removed
    // from inside its directory.
    fs::remove(fs::path(in + "/a.png"));
    const fs::path here = fs::current_path();
    fs::current_path(fs::path(in));
    write_png("ab.png", gradient(20, 10));
    fs::current_path(here);
    EXPECT_EQ(imgthumbnail_batch(in.c_str(), out.c_str(), 8), 0);
    EXPECT_EQ(last_error(), ("batch: no files could be processed in '" + in + "'").substr(0, ERR_MAX));
    fs::current_path(fs::path(out));
    EXPECT_FALSE(path_exists("ab.png"));
    fs::current_path(here);
    fs::current_path(fs::path(in));
    fs::remove("ab.png");
    fs::current_path(here);
}
#endif

} // namespace
