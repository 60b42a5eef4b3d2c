// The options library through its public header: the argument checks and
// their messages, cover, aspect and smart against the seven functions,
// fit, pad and the eight orientations against a plain transcription of
// their rules over the engine's whole-image resampler, no upscaling, and the
// JPEG quality.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "exif_files.h"
#include "imgthumbnail.h"
#include "imgthumbnail_ex.h"
#include "io/image_io.h"
#include "pixels/resample.h"
#include "support.h"
#include "thumbnail/options.h"

namespace {

imgthumbnail_ex_options options(int mode, int w, int h)
{
    imgthumbnail_ex_options o;
    imgthumbnail_ex_defaults(&o);
    o.mode = mode;
    o.width = w;
    o.height = h;
    return o;
}

// Makes the thumbnail; on failure the test fails with the message.
void make(const std::string &in, const std::string &out, const imgthumbnail_ex_options &o)
{
    ASSERT_EQ(imgthumbnail_ex_thumbnail(in.c_str(), out.c_str(), &o), 1) << out << ": " << imgthumbnail_ex_last_error();
    EXPECT_STREQ(imgthumbnail_ex_last_error(), "");
}

TEST(OptionsLibrary, Defaults)
{
    imgthumbnail_ex_options o;
    std::memset(&o, 0x5A, sizeof o);
    imgthumbnail_ex_defaults(&o);
    EXPECT_EQ(o.struct_size, (int)sizeof o);
    EXPECT_EQ(o.mode, IMGTHUMBNAIL_EX_COVER);
    EXPECT_EQ(o.width, 0);
    EXPECT_EQ(o.height, 0);
    EXPECT_EQ(o.ratio, IMGTHUMBNAIL_EX_RATIO_1_1);
    EXPECT_EQ(o.rotate, 1);
    EXPECT_EQ(o.upscale, 1);
    EXPECT_EQ(o.quality, 90);
    EXPECT_EQ(o.background, 0u);
    imgthumbnail_ex_defaults(nullptr); // does nothing
}

TEST(OptionsLibrary, ArgumentChecksInOrder)
{
    const std::string dir = scratch_dir();
    const std::string in = dir + "/in.png", out = dir + "/out.png";
    write_png(in, gradient(30, 20));
    auto with = [](int mode, int w, int h, void (*change)(imgthumbnail_ex_options &)) {
        imgthumbnail_ex_options o = options(mode, w, h);
        if (change) change(o);
        return o;
    };
    struct Case {
        imgthumbnail_ex_options o;
        const char *message;
    } cases[] = {
        {options(IMGTHUMBNAIL_EX_COVER, 0, 10), "thumbnail: width 0 out of range 1..4096"},
        {options(IMGTHUMBNAIL_EX_FIT, 4097, 0), "thumbnail: width 4097 out of range 1..4096"},
        {options(IMGTHUMBNAIL_EX_PAD, 10, -5), "thumbnail: height -5 out of range 1..4096"},
        {options(IMGTHUMBNAIL_EX_SMART, 10, 4097), "thumbnail: height 4097 out of range 1..4096"},
        {options(5, 0, 0), "thumbnail: mode 5 out of range 0..4"},
        {options(-1, 10, 10), "thumbnail: mode -1 out of range 0..4"},
        // ASPECT reads no height; its ratio is checked instead.
        {with(IMGTHUMBNAIL_EX_ASPECT, 10, 0, [](imgthumbnail_ex_options &o) { o.ratio = 4; }),
         "thumbnail: ratio 4 out of range 0..3"},
        {with(IMGTHUMBNAIL_EX_ASPECT, 0, 0, [](imgthumbnail_ex_options &o) { o.ratio = 4; }),
         "thumbnail: width 0 out of range 1..4096"},
        {with(IMGTHUMBNAIL_EX_COVER, 10, 10, [](imgthumbnail_ex_options &o) { o.rotate = 2; }),
         "thumbnail: rotate 2 out of range 0..1"},
        {with(IMGTHUMBNAIL_EX_FIT, 10, 10, [](imgthumbnail_ex_options &o) { o.upscale = -1; }),
         "thumbnail: upscale -1 out of range 0..1"},
        {with(IMGTHUMBNAIL_EX_FIT, 10, 10, [](imgthumbnail_ex_options &o) { o.quality = 0; }),
         "thumbnail: quality 0 out of range 1..100"},
        {with(IMGTHUMBNAIL_EX_FIT, 10, 10, [](imgthumbnail_ex_options &o) { o.quality = 101; }),
         "thumbnail: quality 101 out of range 1..100"},
        // A record not filled by the defaults is refused before any field.
        {with(0, 0, 0, [](imgthumbnail_ex_options &o) { o.struct_size = 0; }),
         "thumbnail: options size 0, expected 36"},
        {with(0, 10, 10, [](imgthumbnail_ex_options &o) { o.struct_size = 40; }),
         "thumbnail: options size 40, expected 36"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(imgthumbnail_ex_thumbnail(in.c_str(), out.c_str(), &c.o), 0) << c.message;
        EXPECT_STREQ(imgthumbnail_ex_last_error(), c.message);
    }
    EXPECT_FALSE(path_exists(out)) << "a failed check writes nothing";
    const imgthumbnail_ex_options bad = options(IMGTHUMBNAIL_EX_COVER, 0, 0);
    EXPECT_EQ(imgthumbnail_ex_thumbnail(nullptr, out.c_str(), &bad), 0);
    EXPECT_STREQ(imgthumbnail_ex_last_error(), "thumbnail: NULL input/output");
    EXPECT_EQ(imgthumbnail_ex_thumbnail(in.c_str(), nullptr, nullptr), 0);
    EXPECT_STREQ(imgthumbnail_ex_last_error(), "thumbnail: NULL input/output");
    EXPECT_EQ(imgthumbnail_ex_thumbnail(in.c_str(), out.c_str(), nullptr), 0);
    EXPECT_STREQ(imgthumbnail_ex_last_error(), "thumbnail: NULL options");
    // The engine's messages come through as the seven functions give them.
    const imgthumbnail_ex_options good = options(IMGTHUMBNAIL_EX_FIT, 10, 10);
    EXPECT_EQ(imgthumbnail_ex_thumbnail("", out.c_str(), &good), 0);
    EXPECT_STREQ(imgthumbnail_ex_last_error(), "cannot decode '': can't fopen");
    EXPECT_EQ(imgthumbnail_ex_thumbnail(in.c_str(), (dir + "/no/such/t.png").c_str(), &good), 0);
    EXPECT_EQ(std::string(imgthumbnail_ex_last_error()), "cannot encode '" + dir + "/no/such/t.png' (check the extension)");
    make(in, out, good);
}

struct FitCase {
    int w, h, W, H, upscale;
    int fw, fh;
};

TEST(OptionsLibrary, FitSizes)
{
    const FitCase table[] = {
        {1000, 500, 200, 200, 1, 200, 100},
        {500, 1000, 200, 200, 1, 100, 200},
        {640, 480, 320, 320, 1, 320, 240},
        {333, 500, 100, 150, 1, 100, 150}, // 100.4 wide rounds down; the box's ties go to the width
        {1200, 800, 150, 150, 1, 150, 100},
        {800, 533, 300, 300, 1, 300, 200}, // 199.875 rounds up
        {1, 1000, 100, 100, 1, 1, 100},    // 0.1 wide: at least 1
        {32768, 1, 4096, 4096, 1, 4096, 1},
        {3, 2, 4096, 4096, 1, 4096, 2731},
        {40, 30, 400, 400, 1, 400, 300},
        {40, 30, 400, 400, 0, 40, 30},     // no upscaling: the image's own size
        {400, 300, 40, 40, 0, 40, 30},     // shrinking is not upscaling
    };
    for (const FitCase &c : table) {
        ThumbOptions t{THUMB_FIT, c.W, c.H, 1, 1, true, c.upscale != 0, 90, {0, 0, 0, 0}};
        const ThumbPlan p = plan_thumbnail(c.w, c.h, t);
        EXPECT_EQ(p.tw, c.fw) << c.w << "x" << c.h << " in " << c.W << "x" << c.H;
        EXPECT_EQ(p.th, c.fh) << c.w << "x" << c.h << " in " << c.W << "x" << c.H;
        EXPECT_EQ(p.region.w, c.w);
        EXPECT_EQ(p.region.h, c.h);
        t.mode = THUMB_PAD;
        const ThumbPlan q = plan_thumbnail(c.w, c.h, t);
        EXPECT_EQ(q.canvas_w, c.W);
        EXPECT_EQ(q.canvas_h, c.H);
        EXPECT_EQ(q.at_x, (c.W - c.fw) / 2);
        EXPECT_EQ(q.at_y, (c.H - c.fh) / 2);
    }
}

// The fit, pad and cover rules written out as the documentation gives them,
// on pixels the test turns upright itself, resampled by the engine's
// whole-image resampler.
Pixels transcribe(const Pixels &stored, int orientation, const imgthumbnail_ex_options &o)
{
    const Pixels up = upright_by_name(stored, o.rotate ? orientation : 1);
    const int w = up.w, h = up.h, W = o.width, H = o.height;
    int tw, th, x0 = 0, y0 = 0, cw = w, ch = h;
    if (o.mode == IMGTHUMBNAIL_EX_COVER) {
        if (H * w > W * h) {
            cw = (W * h + H / 2) / H;
        } else {
            ch = (H * w + W / 2) / W;
        }
        cw = std::min(std::max(cw, 1), w);
        ch = std::min(std::max(ch, 1), h);
        x0 = (w - cw) / 2;
        y0 = (h - ch) / 2;
        tw = W;
        th = H;
    } else if (W * h <= H * w) {
        tw = W;
        th = std::max(1, (h * W + w / 2) / w);
    } else {
        tw = std::max(1, (w * H + h / 2) / h);
        th = H;
    }
    if (!o.upscale && (tw > cw || th > ch)) {
        tw = cw;
        th = ch;
    }
    Pixels copy = up;
    Image img = resize_image(image_region(as_image(copy), x0, y0, cw, ch), tw, th);
    Pixels thumb = from_image(img);
    std::free(img.pixels);
    if (o.mode != IMGTHUMBNAIL_EX_PAD) return thumb;
    const int ax = (W - tw) / 2, ay = (H - th) / 2;
    return make_pixels(W, H, [&](int x, int y) {
        if (x >= ax && x < ax + tw && y >= ay && y < ay + th) {
            const uint8_t *q = thumb.at(x - ax, y - ay);
            return std::array<int, 4>{q[0], q[1], q[2], q[3]};
        }
        const unsigned bg = o.background;
        return std::array<int, 4>{(int)(bg >> 24), (int)(bg >> 16 & 255), (int)(bg >> 8 & 255), (int)(bg & 255)};
    });
}

void expect_pixels(const std::string &path, const Pixels &want, const std::string &what)
{
    const Pixels got = read_pixels(path);
    ASSERT_EQ(got.w, want.w) << what;
    ASSERT_EQ(got.h, want.h) << what;
    EXPECT_TRUE(got.rgba == want.rgba) << what;
}

TEST(OptionsLibrary, FitPadAndCoverAsTranscribed)
{
    const std::string dir = scratch_dir();
    struct Source {
        const char *name;
        int w, h;
    } sources[] = {{"wide", 97, 41}, {"tall", 30, 77}, {"small", 12, 9}};
    struct Box {
        int mode, W, H, upscale;
        unsigned background;
    } boxes[] = {
        {IMGTHUMBNAIL_EX_FIT, 40, 40, 1, 0},           {IMGTHUMBNAIL_EX_FIT, 64, 16, 1, 0},
        {IMGTHUMBNAIL_EX_FIT, 200, 150, 0, 0},         {IMGTHUMBNAIL_EX_FIT, 200, 150, 1, 0},
        {IMGTHUMBNAIL_EX_PAD, 40, 40, 1, 0},           {IMGTHUMBNAIL_EX_PAD, 50, 20, 1, 0x336699FFu},
        {IMGTHUMBNAIL_EX_PAD, 120, 90, 0, 0xFF000080u}, {IMGTHUMBNAIL_EX_COVER, 33, 21, 1, 0},
        {IMGTHUMBNAIL_EX_COVER, 300, 100, 0, 0},       {IMGTHUMBNAIL_EX_COVER, 5, 60, 1, 0},
    };
    int n = 0;
    for (const Source &s : sources) {
        const Pixels p = gradient(s.w, s.h);
        const std::string in = dir + "/" + s.name + ".png";
        write_png(in, p);
        for (const Box &b : boxes) {
            imgthumbnail_ex_options o = options(b.mode, b.W, b.H);
            o.upscale = b.upscale;
            o.background = b.background;
            const std::string out = dir + "/" + std::to_string(n++) + ".png";
            make(in, out, o);
            expect_pixels(out, transcribe(p, 1, o), out + " from " + s.name);
        }
    }
}

TEST(OptionsLibrary, EveryOrientationTurnedUprightFirst)
{
    const std::string dir = scratch_dir();
    const Pixels p = gradient(23, 14);
    imgthumbnail_ex_options pad = options(IMGTHUMBNAIL_EX_PAD, 20, 20);
    pad.background = 0x10203040u;
    const imgthumbnail_ex_options fit = options(IMGTHUMBNAIL_EX_FIT, 18, 18);
    imgthumbnail_ex_options still = fit;
    still.rotate = 0;
    imgthumbnail_ex_options shrink = options(IMGTHUMBNAIL_EX_FIT, 200, 200);
    shrink.upscale = 0; // 1 : 1: the upright pixels exactly
    for (int o = 1; o <= 8; o++)
        for (bool big : {false, true}) {
            const std::string in = dir + "/o" + std::to_string(o) + (big ? "mm" : "ii") + ".png";
            write_png_with_exif(in, p, tiff_with_orientation(big, o), o % 2 == 0);
            const std::string tag = in + " ";
            make(in, in + ".pad.png", pad);
            expect_pixels(in + ".pad.png", transcribe(p, o, pad), tag + "pad");
            make(in, in + ".fit.png", fit);
            expect_pixels(in + ".fit.png", transcribe(p, o, fit), tag + "fit");
            make(in, in + ".still.png", still);
            expect_pixels(in + ".still.png", transcribe(p, 1, still), tag + "rotate 0");
            make(in, in + ".same.png", shrink);
            expect_pixels(in + ".same.png", upright_by_name(p, o), tag + "1:1");
        }
    // A JPEG's APP1 segment too; its decoded pixels are the stored ones.
    for (int o : {3, 6, 8}) {
        const std::string in = dir + "/j" + std::to_string(o) + ".jpg";
        write_jpg_with_exif(in, p, tiff_with_orientation(o == 6, o));
        const Pixels stored = read_pixels(in);
        make(in, in + ".pad.png", pad);
        expect_pixels(in + ".pad.png", transcribe(stored, o, pad), in);
    }
}

bool same_file(const std::string &a, const std::string &b)
{
    const std::vector<uint8_t> x = read_bytes(a), y = read_bytes(b);
    return !x.empty() && x == y;
}

TEST(OptionsLibrary, CoverAspectAndSmartAreTheSevenFunctionsBytes)
{
    const std::string dir = scratch_dir();
    const std::string png = dir + "/in.png", jpg = dir + "/in.jpg";
    write_png(png, gradient(160, 97));
    write_jpg(jpg, gradient(131, 210));
    for (const std::string &in : {png, jpg})
        for (const char *ext : {"png", "jpg"}) {
            const std::string a = in + ".a." + ext, b = in + ".b." + ext;
            for (int s : {1, 37, 96, 300}) {
                ASSERT_EQ(imgthumbnail_square(in.c_str(), a.c_str(), s), 1);
                make(in, b, options(IMGTHUMBNAIL_EX_COVER, s, s));
                EXPECT_TRUE(same_file(a, b)) << "cover " << s << " of " << in;
            }
            // 320 x 180 is the 16:9 crop at 320.
            ASSERT_EQ(imgthumbnail_aspect(in.c_str(), a.c_str(), 320, IMGTHUMBNAIL_RATIO_16_9), 1);
            make(in, b, options(IMGTHUMBNAIL_EX_COVER, 320, 180));
            EXPECT_TRUE(same_file(a, b)) << "cover 320x180 of " << in;
            for (int r = 0; r < IMGTHUMBNAIL_RATIO_COUNT; r++) {
                ASSERT_EQ(imgthumbnail_aspect(in.c_str(), a.c_str(), 150, r), 1);
                imgthumbnail_ex_options o = options(IMGTHUMBNAIL_EX_ASPECT, 150, 0);
                o.ratio = r;
                make(in, b, o);
                EXPECT_TRUE(same_file(a, b)) << "aspect " << r << " of " << in;
            }
            for (auto wh : {std::array<int, 2>{64, 48}, {200, 30}, {500, 300}}) {
                ASSERT_EQ(imgthumbnail_smart(in.c_str(), a.c_str(), wh[0], wh[1]), 1);
                make(in, b, options(IMGTHUMBNAIL_EX_SMART, wh[0], wh[1]));
                EXPECT_TRUE(same_file(a, b)) << "smart " << wh[0] << "x" << wh[1] << " of " << in;
            }
        }
}

TEST(OptionsLibrary, TurnedImagesGiveTheSevenFunctionsBytesOfTheUprightOnes)
{
    const std::string dir = scratch_dir();
    const Pixels p = gradient(90, 51);
    for (int o : {2, 5, 6, 7}) {
        const std::string tagged = dir + "/t" + std::to_string(o) + ".png";
        const std::string upright = dir + "/u" + std::to_string(o) + ".png";
        write_png_with_exif(tagged, p, tiff_with_orientation(false, o));
        write_png(upright, upright_by_name(p, o));
        const std::string a = tagged + ".a.png", b = tagged + ".b.png";
        ASSERT_EQ(imgthumbnail_square(upright.c_str(), a.c_str(), 40), 1);
        make(tagged, b, options(IMGTHUMBNAIL_EX_COVER, 40, 40));
        EXPECT_TRUE(same_file(a, b)) << "cover of " << tagged;
        ASSERT_EQ(imgthumbnail_smart(upright.c_str(), a.c_str(), 30, 20), 1);
        make(tagged, b, options(IMGTHUMBNAIL_EX_SMART, 30, 20));
        EXPECT_TRUE(same_file(a, b)) << "smart of " << tagged;
        // The seven functions keep the stored order, as rotate 0 does.
        imgthumbnail_ex_options still = options(IMGTHUMBNAIL_EX_COVER, 40, 40);
        still.rotate = 0;
        ASSERT_EQ(imgthumbnail_square(tagged.c_str(), a.c_str(), 40), 1);
        make(tagged, b, still);
        EXPECT_TRUE(same_file(a, b)) << "cover, rotate 0, of " << tagged;
    }
}

TEST(OptionsLibrary, NoUpscalingKeepsEveryPixel)
{
    const std::string dir = scratch_dir();
    const Pixels p = gradient(40, 30);
    const std::string in = dir + "/small.png";
    write_png(in, p);
    for (int mode : {IMGTHUMBNAIL_EX_FIT, IMGTHUMBNAIL_EX_COVER}) {
        imgthumbnail_ex_options o = options(mode, 400, 300);
        o.upscale = 0;
        make(in, dir + "/same.png", o);
        expect_pixels(dir + "/same.png", p, "mode " + std::to_string(mode));
    }
    // Larger only one way (cover's region 40 x 20 for a 4:2 box of 80 x 40).
    imgthumbnail_ex_options wide = options(IMGTHUMBNAIL_EX_COVER, 80, 40);
    wide.upscale = 0;
    make(in, dir + "/wide.png", wide);
    const Pixels region = make_pixels(40, 20, [&](int x, int y) {
        const uint8_t *q = p.at(x, y + 5);
        return std::array<int, 4>{q[0], q[1], q[2], q[3]};
    });
    expect_pixels(dir + "/wide.png", region, "cover 80x40");
    // ASPECT's 16:9 region of a 40 x 30 image is 40 x 23 (at row 3).
    imgthumbnail_ex_options aspect = options(IMGTHUMBNAIL_EX_ASPECT, 320, 0);
    aspect.ratio = IMGTHUMBNAIL_EX_RATIO_16_9;
    aspect.upscale = 0;
    make(in, dir + "/aspect.png", aspect);
    EXPECT_EQ(read_pixels(dir + "/aspect.png").w, 40);
    EXPECT_EQ(read_pixels(dir + "/aspect.png").h, 23);
    // Pad keeps its canvas, the image centred on it at its own size.
    imgthumbnail_ex_options pad = options(IMGTHUMBNAIL_EX_PAD, 101, 50);
    pad.upscale = 0;
    pad.background = 0xFFFFFFFFu;
    make(in, dir + "/pad.png", pad);
    const Pixels got = read_pixels(dir + "/pad.png");
    ASSERT_EQ(got.w, 101);
    ASSERT_EQ(got.h, 50);
    for (int y = 0; y < 30; y++)
        EXPECT_EQ(0, std::memcmp(got.at(30, 10 + y), p.at(0, y), 40 * 4)) << "row " << y;
    EXPECT_EQ(got.at(29, 10)[0], 255);
    EXPECT_EQ(got.at(70, 39)[3], 255);
}

TEST(OptionsLibrary, JpegQualityAndTheFlattenedCanvas)
{
    const std::string dir = scratch_dir();
    const std::string in = dir + "/in.png";
    write_png(in, gradient(120, 80));
    imgthumbnail_ex_options o = options(IMGTHUMBNAIL_EX_PAD, 100, 100);
    make(in, dir + "/t.png", o);
    Pixels thumb = read_pixels(dir + "/t.png");
    for (int q : {1, 50, 90, 100}) {
        o.quality = q;
        const std::string out = dir + "/q" + std::to_string(q) + ".jpg", ref = dir + "/r" + std::to_string(q) + ".jpg";
        make(in, out, o);
        // The same canvas, flattened over white and encoded at that quality.
        ASSERT_EQ(save_image(ref.c_str(), as_image(thumb), q), 1);
        EXPECT_TRUE(same_file(out, ref)) << "quality " << q;
    }
    EXPECT_LT(read_bytes(dir + "/q50.jpg").size(), read_bytes(dir + "/q100.jpg").size());
    // The transparent canvas becomes white in a BMP.
    o.quality = 90;
    make(in, dir + "/t.bmp", o);
    const Pixels bmp = read_pixels(dir + "/t.bmp");
    ASSERT_EQ(bmp.w, 100);
    EXPECT_EQ(bmp.at(50, 0)[0], 255);
    EXPECT_EQ(bmp.at(50, 99)[2], 255);
}

} // namespace
