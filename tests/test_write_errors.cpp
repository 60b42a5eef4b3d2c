// Writes that fail part-way (a full disk, a file size limit): the thumbnail
// is reported as not written, whatever was at the output path before stays
// byte for byte, and no partial or temporary file is left behind.
#include <gtest/gtest.h>

#ifdef __linux__
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "io/image_io.h"
#include "imgthumbnail.h"
#include "support.h"

namespace {

// Saves image to path in a child process that may write at most limit bytes
// to any file (with SIGXFSZ ignored, a write past it fails with EFBIG, as on
// a full disk). The child checks its own result and message; the return is
// its exit status, 0 when they were as expected.
int save_with_file_limit(const std::string &path, Pixels image, rlim_t limit, int expected_result)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit lim = {limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(2);
        imgthumbnail_cleanup();
        const int ok = save_image(path.c_str(), as_image(image), JPEG_QUALITY_DEFAULT);
        const std::string expected = ok ? "" : "cannot encode '" + path + "' (check the extension)";
        if (ok != expected_result || imgthumbnail_last_error() != expected) {
            std::fprintf(stderr, "result %d, message \"%s\"\n", ok, imgthumbnail_last_error());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

size_t entry_count(const std::string &dir)
{
    size_t n = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir)) (void)e, n++;
    return n;
}

TEST(WriteErrors, FailedWritesKeepWhatWasThere)
{
    const std::string dir = scratch_dir();
    const Pixels image = gradient(64, 64);
    const rlim_t CUT_AT = 100; // bytes: inside every format's file
    const std::string old_thumb(1000, 'x');
    for (const char *name : {"t.png", "t.jpg", "t.bmp", "t.tga"}) {
        SCOPED_TRACE(name);
        const std::string path = dir + "/" + name;
        // A new file: nothing is left.
        EXPECT_EQ(save_with_file_limit(path, image, CUT_AT, 0), 0);
        EXPECT_FALSE(path_exists(path));
        EXPECT_EQ(entry_count(dir), 0u);
        // An older thumbnail: it stays as it was, and nothing else appears.
        write_text(path, old_thumb);
        EXPECT_EQ(save_with_file_limit(path, image, CUT_AT, 0), 0);
        EXPECT_EQ(read_bytes(path), std::vector<uint8_t>(old_thumb.begin(), old_thumb.end()));
        EXPECT_EQ(entry_count(dir), 1u);
        // With room enough the same child replaces it with the whole thumbnail.
        EXPECT_EQ(save_with_file_limit(path, image, RLIM_INFINITY, 1), 0);
        EXPECT_EQ(read_pixels(path).w, 64);
        EXPECT_EQ(entry_count(dir), 1u);
        std::remove(path.c_str());
    }
}

} // namespace
#endif
