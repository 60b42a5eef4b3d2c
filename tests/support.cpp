#include "support.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace fs = std::filesystem;

std::string scratch_dir()
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/' || c == '\\') c = '_';
    fs::path dir = fs::path("scratch") / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.generic_string();
}

Pixels gradient(int w, int h)
{
    return make_pixels(w, h, [&](int x, int y) {
        return std::array<int, 4>{(x * 255) / (w > 1 ? w - 1 : 1), (y * 255) / (h > 1 ? h - 1 : 1),
                                  ((x + y) * 37) & 255, 128 + ((x * 7 + y * 3) % 128)};
    });
}

void write_png(const std::string &path, const Pixels &p)
{
    ASSERT_TRUE(stbi_write_png(path.c_str(), p.w, p.h, 4, p.rgba.data(), 0)) << path;
}

void write_jpg(const std::string &path, const Pixels &p, int quality)
{
    ASSERT_TRUE(stbi_write_jpg(path.c_str(), p.w, p.h, 4, p.rgba.data(), quality)) << path;
}

Pixels read_pixels(const std::string &path)
{
    Pixels p;
    int n = 0;
    unsigned char *data = stbi_load(path.c_str(), &p.w, &p.h, &n, 4);
    if (!data) {
        p.w = p.h = 0;
        return p;
    }
    p.rgba.assign(data, data + (size_t)p.w * p.h * 4);
    stbi_image_free(data);
    return p;
}

std::vector<uint8_t> read_bytes(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

void write_text(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary);
    f << text;
}

bool path_exists(const std::string &path)
{
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

bool is_directory(const std::string &path)
{
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

Pixels from_image(const Image &img)
{
    Pixels p;
    p.w = img.width;
    p.h = img.height;
    p.rgba.assign(img.pixels, img.pixels + (size_t)img.width * img.height * 4);
    return p;
}
