// The file and text helpers that the library and the command share: letter
// case and extensions by table, then what a path names, file identity,
// listing a folder and making folders, on disk (under wine too).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "common/ascii.h"
#include "common/files.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

TEST(Ascii, CaseFoldingIgnoresLocale)
{
    EXPECT_TRUE(ascii_iequal("JPEG", "jpeg"));
    EXPECT_TRUE(ascii_iequal("", ""));
    EXPECT_FALSE(ascii_iequal("jpg", "jpeg"));
    EXPECT_FALSE(ascii_iequal("jpg", "jp"));
    // Bytes outside ASCII are compared as they are (Latin-1 E-acute).
    EXPECT_FALSE(ascii_iequal("\xC9", "\xE9"));
    EXPECT_FALSE(ascii_iequal("i", "\xDD"));

    // The order is that of the bytes once A-Z are folded to a-z, unsigned.
    const struct { const char *a, *b; int order; } table[] = {
        {"Dune.png", "dune.PNG", 0},
        {"a", "B", -1},
        {"Z", "a", 1},
        {"a", "ab", -1},
        {"[", "A", -1},   // folded 'A' is 'a' (0x61), after '[' (0x5B)
        {"_", "z", -1},
        {"\xE9", "z", 1}, // above ASCII: after every letter
    };
    for (const auto &row : table) {
        EXPECT_EQ(sign(ascii_icompare(row.a, row.b)), row.order) << row.a << " " << row.b;
        EXPECT_EQ(sign(ascii_icompare(row.b, row.a)), -row.order) << row.b << " " << row.a;
    }
}

TEST(Ascii, ExtensionIsTheTextAfterTheLastDot)
{
    const struct { const char *name, *ext; } table[] = {
        {"photo.jpg", "jpg"}, {"archive.tar.PNG", "PNG"}, {"photo.", ""}, {".hidden", "hidden"},
        {"README", nullptr},  {"", nullptr},
        // A whole path: the last dot wherever it stands.
        {"out.d/thumb", "d/thumb"},
    };
    for (const auto &row : table) {
        const char *ext = extension_of(row.name);
        if (!row.ext) EXPECT_EQ(ext, nullptr) << row.name;
        else EXPECT_STREQ(ext, row.ext) << row.name;
    }
}

// What one listing handed over: each name with whether it is a folder.
std::map<std::string, bool> listed(const std::string &dir, int *result)
{
    std::map<std::string, bool> names;
    *result = list_folder(
        dir.c_str(), [](const char *name, bool is_folder, void *context) {
            (*(std::map<std::string, bool> *)context)[name] = is_folder;
        },
        &names);
    return names;
}

TEST(Files, ListingHandsOverEveryEntryWithItsKind)
{
    const std::string dir = scratch_dir();
    fs::create_directories(fs::path(dir + "/in/sub.png"));
    write_text(dir + "/in/a.png", "x");
    write_text(dir + "/in/.hidden", "x");
    std::map<std::string, bool> expected = {{"a.png", false}, {".hidden", false}, {"sub.png", true}};
#ifndef _WIN32
    // A link counts as what it leads to; one that leads nowhere is no folder.
    fs::create_directory_symlink("sub.png", fs::path(dir + "/in/link"));
    fs::create_symlink("missing", fs::path(dir + "/in/dangling"));
    expected["link"] = true;
    expected["dangling"] = false;
#endif
    // The same entries whether or not the folder ends with a separator.
    for (const std::string &path : {dir + "/in", dir + "/in/", dir + "/in" + PATH_SEP}) {
        int result = 0;
        auto names = listed(path, &result);
        EXPECT_EQ(result, 1) << path;
        // "." and ".." where the platform lists them, as folders.
        for (const char *self : {".", ".."}) {
            if (names.count(self)) EXPECT_TRUE(names[self]) << path;
            names.erase(self);
        }
        EXPECT_EQ(names, expected) << path;
    }

    // Nothing to list: 0, and no entry.
    for (const std::string &path : {dir + "/missing", dir + "/in/a.png"}) {
        int result = 1;
        EXPECT_TRUE(listed(path, &result).empty()) << path;
        EXPECT_EQ(result, 0) << path;
    }
}

TEST(Files, KindAndIdentityOfAPath)
{
    const std::string dir = scratch_dir();
    fs::create_directories(fs::path(dir + "/sub"));
    write_text(dir + "/f", "x");
    write_text(dir + "/g", "x");
    EXPECT_EQ(path_kind((dir + "/sub").c_str()), PATH_FOLDER);
    EXPECT_EQ(path_kind((dir + "/f").c_str()), PATH_FILE);
    EXPECT_EQ(path_kind((dir + "/none").c_str()), PATH_NONE);

    // One file however it is spelled; another file is another identity.
    FileId f, f_again, g, none;
    ASSERT_EQ(file_id((dir + "/f").c_str(), &f), 1);
    ASSERT_EQ(file_id((dir + "/sub/../f").c_str(), &f_again), 1);
    ASSERT_EQ(file_id((dir + "/g").c_str(), &g), 1);
    EXPECT_TRUE(same_file_id(f, f_again));
    EXPECT_FALSE(same_file_id(f, g));
    EXPECT_EQ(file_id((dir + "/none").c_str(), &none), 0);
}

TEST(Files, MakingFolders)
{
    const std::string dir = scratch_dir();
    write_text(dir + "/file", "keep me");

    // One level: its parent must exist; whatever is there already says EEXIST.
    EXPECT_EQ(make_folder((dir + "/one").c_str()), 0);
    EXPECT_EQ(make_folder((dir + "/one").c_str()), EEXIST);
    EXPECT_EQ(make_folder((dir + "/file").c_str()), EEXIST);
    EXPECT_EQ(make_folder((dir + "/no/parent").c_str()), ENOENT);

    // With the parents: 1 when a folder is there afterwards.
    const struct { std::string path; int result; std::string folder; } table[] = {
        {dir + "/a/b/c", 1, dir + "/a/b/c"},
        {dir + "/a/b/c", 1, dir + "/a/b/c"},    // all there already
        {dir + "/x//y/", 1, dir + "/x/y"},      // doubled and trailing separators
        {dir + "/one" + PATH_SEP + "two", 1, dir + "/one/two"},
        {dir + "/file/sub", 0, ""},             // a file stands in the way
        {dir + "/file", 0, ""},                 // and is no folder
    };
    for (const auto &row : table) {
        EXPECT_EQ(make_folders(row.path.c_str()), row.result) << row.path;
        if (row.result) EXPECT_TRUE(is_directory(row.folder)) << row.path;
    }
    EXPECT_EQ(read_bytes(dir + "/file"), (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
}

} // namespace
