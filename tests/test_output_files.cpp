// How thumbnails reach the disk: a new output is made whole or not at all,
// an existing one is replaced in one step or left byte for byte as it was,
// no temporary file is ever left behind, permissions are those a plain
// fopen would give, links are written through and devices are written
// directly. Runs on every build, the Windows DLL under wine included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "io/image_io.h"
#include "imgthumbnail.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

const char *const FORMATS[] = {"t.png", "t.jpg", "t.bmp", "t.tga"};

// The names in dir, sorted.
std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string encode_error(const std::string &path)
{
    return "cannot encode '" + path + "' (check the extension)";
}

const std::vector<uint8_t> OLD_BYTES = {'o', 'l', 'd', ' ', 't', 'h', 'u', 'm', 'b', 0, 0xFF};

TEST(OutputFiles, ExistingOutputIsReplacedWhole)
{
    const std::string dir = scratch_dir();
    Pixels src = gradient(20, 12);
    for (const char *name : FORMATS) {
        const std::string path = dir + "/" + name;
        write_bytes(path, OLD_BYTES);
        ASSERT_EQ(save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1)
            << name << ": " << imgthumbnail_last_error();
        EXPECT_EQ(read_pixels(path).w, 20) << name;
    }
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"t.bmp", "t.jpg", "t.png", "t.tga"}));
}

// An encoder that fails after the output was opened (the JPEG encoder
// refuses an image without pixels): the old output stays, byte for byte, and
// a new one is not made.
TEST(OutputFiles, FailedEncodingKeepsTheOldOutput)
{
    const std::string dir = scratch_dir();
    unsigned char pixel[4] = {1, 2, 3, 4};
    const Image empty{0, 0, pixel};
    const std::string old_path = dir + "/old.jpg", new_path = dir + "/new.jpg";
    write_bytes(old_path, OLD_BYTES);
    for (const std::string &path : {old_path, new_path}) {
        EXPECT_EQ(save_image(path.c_str(), empty, JPEG_QUALITY_DEFAULT), 0) << path;
        EXPECT_EQ(imgthumbnail_last_error(), encode_error(path));
    }
    EXPECT_EQ(read_bytes(old_path), OLD_BYTES);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"old.jpg"}));
}

// Runs body as an unprivileged user: as the caller when that is no
// superuser; when it is root (as in CI, where permissions would not stop
// it), in a child process that hands dir to the user nobody and becomes
// that user first. The child's failures are printed as they happen; its
// exit status reports them here.
template <typename Body> void as_unprivileged(const std::string &dir, Body body)
{
#ifndef _WIN32
    if (geteuid() == 0) {
        const struct passwd *nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr) << "no user nobody to drop to";
        ASSERT_EQ(chown(dir.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        std::fflush(nullptr);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(2);
            body();
            std::fflush(nullptr);
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the run as nobody failed (status " << status << ")";
        return;
    }
#endif
    (void)dir;
    body();
}

// A read-only thumbnail is not replaced, as fopen would not open it.
TEST(OutputFiles, ReadOnlyOutputIsKept)
{
    const std::string dir = scratch_dir();
    as_unprivileged(dir, [&] {
        const std::string path = dir + "/t.png";
        write_bytes(path, OLD_BYTES);
        fs::permissions(path, fs::perms::owner_read, fs::perm_options::replace);
        Pixels src = gradient(8, 8);
        EXPECT_EQ(save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 0);
        EXPECT_EQ(imgthumbnail_last_error(), encode_error(path));
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
        EXPECT_EQ(read_bytes(path), OLD_BYTES);
        EXPECT_EQ(entries(dir), (std::vector<std::string>{"t.png"}));
    });
}

#ifndef _WIN32

mode_t mode_of(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A new thumbnail gets 0666 less the umask, as fopen gives; a replaced one
// keeps the permissions it had.
TEST(OutputFiles, PermissionsAsFopenGivesThem)
{
    const std::string dir = scratch_dir();
    Pixels src = gradient(8, 8);
    const mode_t saved = umask(022);
    const struct {
        mode_t umask, old_mode; // old_mode 0: no file before
        mode_t expected;
    } cases[] = {
        {022, 0, 0644}, {077, 0, 0600}, {0, 0, 0666}, {022, 0640, 0640}, {077, 0664, 0664},
    };
    int i = 0;
    for (const auto &c : cases) {
        const std::string path = dir + "/t" + std::to_string(i++) + ".png";
        if (c.old_mode) {
            write_bytes(path, OLD_BYTES);
            chmod(path.c_str(), c.old_mode);
        }
        umask(c.umask);
        const int ok = save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT);
        umask(022);
        EXPECT_EQ(ok, 1) << path;
        EXPECT_EQ(mode_of(path), c.expected) << path;
    }
    umask(saved);
}

// A link is written through: it stays a link, and the file it leads to,
// which may not exist yet, becomes the thumbnail.
TEST(OutputFiles, LinksAreWrittenThrough)
{
    const std::string dir = scratch_dir();
    fs::create_directories(dir + "/real");
    write_bytes(dir + "/real/target.png", OLD_BYTES);
    ASSERT_EQ(symlink("real/target.png", (dir + "/link.png").c_str()), 0);
    ASSERT_EQ(symlink("link.png", (dir + "/link-to-link.png").c_str()), 0);
    ASSERT_EQ(symlink("real/made.png", (dir + "/dangling.png").c_str()), 0);
    Pixels src = gradient(8, 8);
    for (const char *name : {"link.png", "link-to-link.png", "dangling.png"}) {
        const std::string path = dir + "/" + name;
        const std::string before = fs::read_symlink(path).string();
        write_bytes(dir + "/real/target.png", OLD_BYTES);
        ASSERT_EQ(save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1)
            << name << ": " << imgthumbnail_last_error();
        EXPECT_TRUE(fs::is_symlink(path)) << name;
        EXPECT_EQ(fs::read_symlink(path).string(), before) << name;
        EXPECT_EQ(read_pixels(path).w, 8) << name;
    }
    EXPECT_EQ(read_pixels(dir + "/real/made.png").w, 8);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"dangling.png", "link-to-link.png", "link.png", "real"}));
    EXPECT_EQ(entries(dir + "/real"), (std::vector<std::string>{"made.png", "target.png"}));
}

// Devices and FIFOs are written directly: they are neither replaced nor
// removed.
TEST(OutputFiles, SpecialFilesAreWrittenDirectly)
{
    Pixels src = gradient(16, 16);
    EXPECT_EQ(save_image("/dev/null", as_image(src), JPEG_QUALITY_DEFAULT), 1) << imgthumbnail_last_error();
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    const std::string dir = scratch_dir();
    const std::string fifo = dir + "/pipe.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::fflush(nullptr);
    const pid_t reader = fork();
    if (reader == 0) {
        // The reader counts the bytes and checks the PNG signature.
        FILE *f = std::fopen(fifo.c_str(), "rb");
        if (!f) _exit(2);
        unsigned char buf[4096];
        size_t total = 0, n;
        bool png = false;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            if (total == 0) png = n >= 4 && buf[1] == 'P' && buf[2] == 'N' && buf[3] == 'G';
            total += n;
        }
        _exit(png && total > 0 ? 0 : 1);
    }
    ASSERT_GT(reader, 0);
    EXPECT_EQ(save_image(fifo.c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1) << imgthumbnail_last_error();
    int status = 0;
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"pipe.png"}));
}

// In a folder where no new file may be made, a thumbnail that may be
// written is written in place, as before.
TEST(OutputFiles, WritableOutputInALockedFolder)
{
    const std::string dir = scratch_dir();
    as_unprivileged(dir, [&] {
        const std::string locked = dir + "/locked";
        fs::create_directories(locked);
        write_bytes(locked + "/t.png", OLD_BYTES);
        chmod(locked.c_str(), 0555);
        Pixels src = gradient(8, 8);
        EXPECT_EQ(save_image((locked + "/t.png").c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1) << imgthumbnail_last_error();
        EXPECT_EQ(save_image((locked + "/new.png").c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 0);
        chmod(locked.c_str(), 0755);
        EXPECT_EQ(read_pixels(locked + "/t.png").w, 8);
        EXPECT_EQ(entries(locked), (std::vector<std::string>{"t.png"}));
    });
}

#endif

} // namespace
