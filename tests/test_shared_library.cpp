// The built shared library, loaded by name at run time as a host would.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

TEST(SharedLibrary, ResolvesAllSevenFunctions)
{
    const char *names[] = {"imgthumbnail_init",   "imgthumbnail_cleanup", "imgthumbnail_last_error",
                           "imgthumbnail_square", "imgthumbnail_aspect",  "imgthumbnail_smart",
                           "imgthumbnail_batch"};
#ifdef _WIN32
    HMODULE lib = LoadLibraryA(IMGTHUMB_SHARED_LIBRARY);
    ASSERT_NE(lib, nullptr) << IMGTHUMB_SHARED_LIBRARY;
    auto find = [&](const char *n) { return (void *)GetProcAddress(lib, n); };
#else
    void *lib = dlopen(IMGTHUMB_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto find = [&](const char *n) { return dlsym(lib, n); };
#endif
    for (const char *n : names) EXPECT_NE(find(n), nullptr) << n;
    // Internal names stay inside.
    for (const char *n : {"set_err", "stbi_load", "stbi_write_png", "load_image", "_Z7set_errPKcz"})
        EXPECT_EQ(find(n), nullptr) << n;

    // The library works through the loaded copy: fresh message, checks.
    typedef const char *(*last_error_fn)(void);
    typedef int (*square_fn)(const char *, const char *, int);
    auto last_error = (last_error_fn)find("imgthumbnail_last_error");
    auto square = (square_fn)find("imgthumbnail_square");
    ASSERT_TRUE(last_error && square);
    EXPECT_STREQ(last_error(), "");
    EXPECT_EQ(square("a.png", "b.png", 0), 0);
    EXPECT_STREQ(last_error(), "square: size 0 out of range 1..4096");
#ifdef _WIN32
    FreeLibrary(lib);
#else
    dlclose(lib);
#endif
}

} // namespace
