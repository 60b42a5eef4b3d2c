// The exported functions' argument checks, their order and messages, and the
// last-error message's life cycle.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "base/error.h"
#include "imgthumbnail.h"
#include "support.h"

namespace {

struct ArgCase {
    const char *what;
    std::function<int()> call;
    const char *message;
};

TEST(Interface, ArgumentChecksInOrder)
{
    const char *in = "no-such-input.png", *out = "never-written.png";
    const ArgCase cases[] = {
        {"square null input", [&] { return imgthumbnail_square(nullptr, out, 100); }, "square: NULL input/output"},
        {"square null output + bad size", [&] { return imgthumbnail_square(in, nullptr, 0); }, "square: NULL input/output"},
        {"square size 0", [&] { return imgthumbnail_square(in, out, 0); }, "square: size 0 out of range 1..4096"},
        {"square size 4097", [&] { return imgthumbnail_square(in, out, 4097); }, "square: size 4097 out of range 1..4096"},
        {"square size -5", [&] { return imgthumbnail_square(in, out, -5); }, "square: size -5 out of range 1..4096"},
        {"square INT_MIN", [&] { return imgthumbnail_square(in, out, -2147483647 - 1); },
         "square: size -2147483648 out of range 1..4096"},
        {"aspect null", [&] { return imgthumbnail_aspect(in, nullptr, 0, 7); }, "aspect: NULL input/output"},
        {"aspect size before ratio", [&] { return imgthumbnail_aspect(in, out, 0, 7); }, "aspect: size 0 out of range 1..4096"},
        {"aspect ratio 4", [&] { return imgthumbnail_aspect(in, out, 10, 4); }, "aspect: ratio 4 out of range 0..3"},
        {"aspect ratio -1", [&] { return imgthumbnail_aspect(in, out, 10, -1); }, "aspect: ratio -1 out of range 0..3"},
        {"smart null", [&] { return imgthumbnail_smart(nullptr, nullptr, 0, 0); }, "smart: NULL input/output"},
        {"smart width first", [&] { return imgthumbnail_smart(in, out, 0, 5000); }, "smart: size 0 out of range 1..4096"},
        {"smart height", [&] { return imgthumbnail_smart(in, out, 100, 5000); }, "smart: size 5000 out of range 1..4096"},
        {"smart height 0", [&] { return imgthumbnail_smart(in, out, 4096, 0); }, "smart: size 0 out of range 1..4096"},
        {"batch null", [&] { return imgthumbnail_batch("in", nullptr, 10); }, "batch: NULL input_dir/output_dir"},
        {"batch size", [&] { return imgthumbnail_batch("in", "batch-never-created", 0); },
         "batch: size 0 out of range 1..4096"},
    };
    for (const ArgCase &c : cases) {
        imgthumbnail_cleanup();
        EXPECT_EQ(c.call(), 0) << c.what;
        EXPECT_STREQ(imgthumbnail_last_error(), c.message) << c.what;
    }
    // A failed check touches no file and creates no directory.
    EXPECT_FALSE(path_exists(out));
    EXPECT_FALSE(path_exists("batch-never-created"));
}

TEST(Interface, SizeLimitsPassTheChecks)
{
    // 1 and 4096 pass the size test: the call goes on to load the input.
    for (int size : {1, 4096}) {
        EXPECT_EQ(imgthumbnail_square("missing.png", "x.png", size), 0);
        EXPECT_STREQ(imgthumbnail_last_error(), "cannot decode 'missing.png': can't fopen");
        EXPECT_EQ(imgthumbnail_aspect("missing.png", "x.png", size, 3), 0);
        EXPECT_STREQ(imgthumbnail_last_error(), "cannot decode 'missing.png': can't fopen");
    }
}

TEST(Interface, LastErrorLifeCycle)
{
    const char *p = imgthumbnail_last_error();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(imgthumbnail_init(), 1);
    EXPECT_STREQ(p, "");
    EXPECT_EQ(imgthumbnail_square(nullptr, nullptr, 1), 0);
    EXPECT_STREQ(p, "square: NULL input/output");
    EXPECT_EQ(imgthumbnail_last_error(), p); // the same buffer every time
    imgthumbnail_cleanup();
    EXPECT_STREQ(p, "");
    EXPECT_EQ(imgthumbnail_init(), 1);
    EXPECT_EQ(imgthumbnail_init(), 1);

    // Two failures in a row leave the second one's message.
    imgthumbnail_square(nullptr, nullptr, 1);
    imgthumbnail_aspect("a", "b", 1, 9);
    EXPECT_STREQ(p, "aspect: ratio 9 out of range 0..3");

    // A success after a failure empties the message; no init is needed.
    std::string dir = scratch_dir();
    write_png(dir + "/in.png", gradient(8, 6));
    EXPECT_EQ(imgthumbnail_square((dir + "/in.png").c_str(), (dir + "/out.png").c_str(), 4), 1);
    EXPECT_STREQ(p, "");
    imgthumbnail_cleanup();
    EXPECT_EQ(imgthumbnail_square((dir + "/in.png").c_str(), (dir + "/out2.png").c_str(), 4), 1);
}

TEST(Interface, EmptyPathPassesTheNullTest)
{
    EXPECT_EQ(imgthumbnail_square("", "x.png", 10), 0);
    EXPECT_STREQ(imgthumbnail_last_error(), "cannot decode '': can't fopen");
}

TEST(Interface, MessagesAreCutAt511Characters)
{
    // Through a real failure: a long path in the decode message.
    std::string path = "missing/" + std::string(600, 'p') + ".png";
    EXPECT_EQ(imgthumbnail_square(path.c_str(), "x.png", 10), 0);
    std::string full = "cannot decode '" + path + "': can't fopen";
    EXPECT_EQ(std::strlen(imgthumbnail_last_error()), 511u);
    EXPECT_EQ(std::string(imgthumbnail_last_error()), full.substr(0, 511));

    // At the boundary: 511 characters fit, 512 are cut.
    std::string a511(511, 'a');
    set_err("%s", a511.c_str());
    EXPECT_EQ(std::string(imgthumbnail_last_error()), a511);
    set_err("%sb", a511.c_str());
    EXPECT_EQ(std::string(imgthumbnail_last_error()), a511);
    // Paths are inserted byte for byte, printf specials included.
    set_err("cannot decode '%s': %s", "100%d %s.png", "x");
    EXPECT_STREQ(imgthumbnail_last_error(), "cannot decode '100%d %s.png': x");
}

} // namespace
