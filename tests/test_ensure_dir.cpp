// Creating a directory level by level: the exact calls, through a recording
// stand-in for the directory call, and the real thing on disk.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "support.h"

namespace {

// The recording stand-in: every call is noted; the answer is the one
// scripted for that path, success when none is.
std::vector<std::string> s_calls;
std::map<std::string, int> s_answers;

int recording_make_dir(const char *path)
{
    s_calls.push_back(path);
    auto it = s_answers.find(path);
    return it == s_answers.end() ? 0 : it->second;
}

struct Recorded {
    int result;
    std::vector<std::string> calls;
};

Recorded record(const std::string &path, const std::map<std::string, int> &answers = {})
{
    s_calls.clear();
    s_answers = answers;
    const int result = ensure_dir_with(path.c_str(), recording_make_dir);
    return Recorded{result, s_calls};
}

using Calls = std::vector<std::string>;

TEST(EnsureDir, CallsForEachLevelInOrder)
{
    const struct { const char *path; Calls calls; } table[] = {
        {"out\\thumbs\\small", {"out", "out/thumbs", "out/thumbs/small"}},
        {"/tmp/a/b", {"/tmp", "/tmp/a", "/tmp/a/b"}},
        {"data\\thumbs\\", {"data", "data/thumbs"}},
        {"out//", {"out", "out/"}},
        {"thumbs", {"thumbs"}},
        // Both separators are split points; later calls carry '/' only.
        {"a\\b/c\\d", {"a", "a/b", "a/b/c", "a/b/c/d"}},
        {"C:\\pics\\", {"C:", "C:/pics"}},
        {"a//b", {"a", "a/", "a//b"}},
        // A lone separator becomes empty: only the final call, on "".
        {"/", {""}},
        {"\\", {""}},
    };
    for (const auto &row : table) {
        Recorded r = record(row.path);
        EXPECT_EQ(r.calls, row.calls) << row.path;
        EXPECT_EQ(r.result, 0) << row.path;
    }
}

TEST(EnsureDir, ExistingLevelsAndFailures)
{
    // Every level there already (as a directory or anything else): 0.
    Recorded r = record("a/b/c", {{"a", EEXIST}, {"a/b", EEXIST}, {"a/b/c", EEXIST}});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.calls, (Calls{"a", "a/b", "a/b/c"}));

    // An inner level that fails for another reason stops the walk at once.
    r = record("a\\b\\c", {{"a", EEXIST}, {"a/b", EACCES}});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.calls, (Calls{"a", "a/b"}));

    // The last level decides the result.
    EXPECT_EQ(record("a/b", {{"a/b", ENOENT}}).result, -1);
    EXPECT_EQ(record("a/b", {{"a/b", ENOSPC}}).result, -1);
    EXPECT_EQ(record("/", {{"", ENOENT}}).result, -1);
    // An inner regular file passes its own call, then the next level fails.
    r = record("f/new", {{"f", EEXIST}, {"f/new", ENOTDIR}});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.calls, (Calls{"f", "f/new"}));
}

TEST(EnsureDir, PathsThatCannotBeUsedWholeMakeNoCall)
{
    EXPECT_EQ(record("").result, -1);
    EXPECT_TRUE(record("").calls.empty());

    // 4095 characters fit the working copy; 4096 would be cut, and a cut
    // path names directories the caller never asked for.
    const std::string fits = "x/" + std::string(PATH_BUF_SIZE - 3, 'y');
    Recorded r = record(fits);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.calls, (Calls{"x", fits}));
    for (size_t extra : {1u, 2u, 5000u}) {
        r = record(fits + std::string(extra, 'z'));
        EXPECT_EQ(r.result, -1) << extra;
        EXPECT_TRUE(r.calls.empty()) << extra;
    }
}

TEST(EnsureDir, OnDisk)
{
    const std::string dir = scratch_dir();
    // Three new levels, parent first; then the same path again, all there.
    EXPECT_EQ(ensure_dir((dir + "/a/b/c").c_str()), 0);
    EXPECT_TRUE(is_directory((dir + "/a/b/c").c_str()));
    EXPECT_EQ(ensure_dir((dir + "/a/b/c").c_str()), 0);
    EXPECT_EQ(ensure_dir(dir.c_str()), 0);
    // One trailing separator, and separators of both kinds.
    EXPECT_EQ(ensure_dir((dir + "/t/").c_str()), 0);
    EXPECT_TRUE(is_directory((dir + "/t").c_str()));
    EXPECT_EQ(ensure_dir((dir + "\\m1/m2\\m3").c_str()), 0);
    EXPECT_TRUE(is_directory((dir + "/m1/m2/m3").c_str()));

    // A regular file: accepted as the last level, refused as an inner one;
    // the file is left as it was.
    write_text(dir + "/file", "keep me");
    EXPECT_EQ(ensure_dir((dir + "/file").c_str()), 0);
    EXPECT_EQ(ensure_dir((dir + "/file/sub").c_str()), -1);
    EXPECT_EQ(read_bytes(dir + "/file"), (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));

    // Only a separator: the final call is on the empty path, which fails.
    EXPECT_EQ(ensure_dir("/"), -1);
    EXPECT_EQ(ensure_dir("\\"), -1);

    // Too long: nothing at all is created, not even the first level.
    const std::string long_path = dir + "/deep/" + std::string(PATH_BUF_SIZE, 'n');
    EXPECT_EQ(ensure_dir(long_path.c_str()), -1);
    EXPECT_FALSE(path_exists(dir + "/deep"));
}

} // namespace
