// Smart crop: analysis image, energy map, window search and the body of
// imgthumbnail_smart. Which window wins can hang on the last bit of a sum,
// so every floating operation keeps its precision and grouping: float for
// luminance and energy, double for the summed-area table and the mapping.
#include "thumbnail/smart_crop.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "io/image_io.h"
#include "pixels/pixel_sums.h"
#include "thumbnail/options.h"

static const int RGBA_CHANNELS = 4;

// BT.601 luma weights, held as floats: the float constants, not the decimal
// fractions, decide every luminance.
static const float LUMA_R = 0.299f;
static const float LUMA_G = 0.587f;
static const float LUMA_B = 0.114f;

float luminance(unsigned char r, unsigned char g, unsigned char b)
{
    const float red = (float)r * LUMA_R;
    const float green = (float)g * LUMA_G;
    const float blue = (float)b * LUMA_B;
    return (red + green) + blue;
}

// Block i of count blocks tiling size pixels covers [lo[i], hi[i]). With
// count <= size every block is at least one pixel and the two corrections
// never apply; they keep a block inside the image whatever the arguments.
static void block_bounds(int32_t size, int32_t count, int32_t *lo, int32_t *hi)
{
    for (int32_t i = 0; i < count; i++) {
        const int32_t a = i * size / count;
        int32_t b = (i + 1) * size / count;
        if (b <= a) b = a + 1;
        if (b > size) b = size;
        lo[i] = a;
        hi[i] = b;
    }
}

// Fills dst (aw x ah) with the rounded block means of src. The source is
// read once, row after row, each row left to right: a row adds its pixels
// into the per-column sums of the analysis row it belongs to.
static void reduce_blocks(const Image &src, Image *dst)
{
    const int32_t aw = dst->width, ah = dst->height;
    int32_t col_lo[ANALYSIS_MAX], col_hi[ANALYSIS_MAX];
    int32_t row_lo[ANALYSIS_MAX], row_hi[ANALYSIS_MAX];
    block_bounds(src.width, aw, col_lo, col_hi);
    block_bounds(src.height, ah, row_lo, row_hi);

    // A block holds at most about 205 x 308 pixels (sides up to 32768),
    // so its sums stay far below 2^32.
    uint32_t sums[ANALYSIS_MAX * RGBA_CHANNELS];
    const int64_t stride = (int64_t)src.width * RGBA_CHANNELS;
    unsigned char *out = dst->pixels;
    for (int32_t y = 0; y < ah; y++) {
        std::memset(sums, 0, sizeof sums);
        for (int32_t sy = row_lo[y]; sy < row_hi[y]; sy++) {
            const unsigned char *row = src.pixels + sy * stride;
            for (int32_t x = 0; x < aw; x++)
                add_pixels(row + (int64_t)col_lo[x] * RGBA_CHANNELS, row + (int64_t)col_hi[x] * RGBA_CHANNELS,
                           sums + x * RGBA_CHANNELS);
        }
        const uint64_t rows = (uint64_t)(row_hi[y] - row_lo[y]);
        for (int32_t x = 0; x < aw; x++) {
            const uint64_t n = (uint64_t)(col_hi[x] - col_lo[x]) * rows;
            for (int c = 0; c < RGBA_CHANNELS; c++)
                *out++ = (unsigned char)(((uint64_t)sums[x * RGBA_CHANNELS + c] + n / 2) / n);
        }
    }
}

Image make_analysis_image(const Image &source)
{
    const int32_t w = source.width, h = source.height;
    const int32_t m = w > h ? w : h;
    Image out{w, h, nullptr};
    if (m > ANALYSIS_MAX) {
        // Through the double scale, not an exact fraction: an exact half of
        // the shorter side may round either way (2496 x 117 gives 160 x 7).
        const double s = (double)ANALYSIS_MAX / (double)m;
        out.width = (int32_t)((double)w * s + 0.5);
        out.height = (int32_t)((double)h * s + 0.5);
        if (out.width < 1) out.width = 1;
        if (out.height < 1) out.height = 1;
    }
    out.pixels = (unsigned char *)std::malloc((size_t)image_bytes(out.width, out.height));
    if (!out.pixels) {
        set_err("out of memory");
        return out;
    }
    if (m > ANALYSIS_MAX) reduce_blocks(source, &out);
    else std::memcpy(out.pixels, source.pixels, (size_t)image_bytes(w, h));
    return out;
}

float *make_energy_map(const Image &analysis)
{
    const int32_t aw = analysis.width, ah = analysis.height;
    const size_t count = (size_t)aw * (size_t)ah;
    float *lum = (float *)std::malloc(count * sizeof(float));
    if (!lum) {
        set_err("out of memory");
        return nullptr;
    }
    const unsigned char *p = analysis.pixels;
    for (size_t i = 0; i < count; i++, p += RGBA_CHANNELS) lum[i] = luminance(p[0], p[1], p[2]);

    float *energy = (float *)std::malloc(count * sizeof(float));
    if (!energy) {
        std::free(lum);
        set_err("out of memory");
        return nullptr;
    }
    // A step between two neighbours is charged to the left or upper pixel
    // only, so the last column and the last row see one direction each.
    for (int32_t y = 0; y < ah; y++) {
        const float *l = lum + (size_t)y * aw;
        float *e = energy + (size_t)y * aw;
        for (int32_t x = 0; x < aw; x++) {
            const float dx = x + 1 < aw ? std::fabs(l[x + 1] - l[x]) : 0.0f;
            const float dy = y + 1 < ah ? std::fabs(l[x + aw] - l[x]) : 0.0f;
            e[x] = dx + dy;
        }
    }
    std::free(lum);
    return energy;
}

int find_best_window(const float *energy, int32_t aw, int32_t ah, int32_t cw, int32_t ch,
                     SmartWindow *best)
{
    // Summed-area table with a zero first row and column: sat(x, y) holds
    // the energy of columns 0..x-1 of rows 0..y-1.
    const int64_t stride = (int64_t)aw + 1;
    double *sat = (double *)std::calloc((size_t)(stride * ((int64_t)ah + 1)), sizeof(double));
    if (!sat) {
        set_err("out of memory");
        return 0;
    }
    for (int32_t y = 0; y < ah; y++) {
        const float *e = energy + (int64_t)y * aw;
        const double *above = sat + (int64_t)y * stride;
        double *cur = sat + ((int64_t)y + 1) * stride;
        for (int32_t x = 0; x < aw; x++)
            cur[x + 1] = (cur[x] + ((double)e[x] + above[x + 1])) - above[x];
    }

    // Offsets that turn a window's corner into the distance between its
    // centre and the image's centre.
    const int32_t ox = cw / 2 - aw / 2;
    const int32_t oy = ch / 2 - ah / 2;
    SmartWindow b{0, 0, 0.0, 0};
    bool taken = false;
    for (int32_t y = 0; y <= ah - ch; y++) {
        const double *top = sat + (int64_t)y * stride;
        const double *bottom = sat + ((int64_t)y + ch) * stride;
        for (int32_t x = 0; x <= aw - cw; x++) {
            const double sum = ((bottom[x + cw] - top[x + cw]) - bottom[x]) + top[x];
            const int32_t dx = x + ox, dy = y + oy;
            const int32_t penalty = dx * dx + dy * dy;
            // Clearly more energy wins wherever it lies; within the tolerance
            // of the current best the window nearer the centre wins, and on
            // equal distance the one visited first stays.
            if (!taken || sum > b.sum + TIE_EPSILON || (sum >= b.sum - TIE_EPSILON && penalty < b.penalty)) {
                b = SmartWindow{x, y, sum, penalty};
                taken = true;
            }
        }
    }
    std::free(sat);
    *best = b;
    return 1;
}

// Clamps [lo, hi) into 0..size: lo onto a pixel, hi at least one past it.
static void clamp_span(int32_t *lo, int32_t *hi, int32_t size)
{
    if (*lo < 0) *lo = 0;
    if (*lo > size - 1) *lo = size - 1;
    if (*hi <= *lo) *hi = *lo + 1;
    if (*hi > size) *hi = size;
}

CropRect map_window_to_source(int32_t w, int32_t h, int32_t aw, int32_t ah, int32_t bx, int32_t by,
                              int32_t cw, int32_t ch)
{
    const double fx = (double)w / (double)aw;
    const double fy = (double)h / (double)ah;
    // Widen outwards so the region covers every source pixel the window
    // touches.
    int32_t x0 = (int32_t)std::floor((double)bx * fx);
    int32_t y0 = (int32_t)std::floor((double)by * fy);
    int32_t x1 = (int32_t)std::ceil((double)(bx + cw) * fx);
    int32_t y1 = (int32_t)std::ceil((double)(by + ch) * fy);
    clamp_span(&x0, &x1, w);
    clamp_span(&y0, &y1, h);
    return CropRect{x0, y0, x1 - x0, y1 - y0};
}

int smart_choose(const Image &source, int32_t width, int32_t height, SmartChoice *choice)
{
    Image analysis = make_analysis_image(source);
    if (!analysis.pixels) return 0;
    const int32_t aw = analysis.width, ah = analysis.height;
    // The thumbnail size is used as a window size unscaled, so a reduced
    // image keeps a region about 1/s times the thumbnail.
    const int32_t cw = width < aw ? width : aw;
    const int32_t ch = height < ah ? height : ah;
    float *energy = make_energy_map(analysis);
    std::free(analysis.pixels);
    if (!energy) return 0;
    SmartWindow best;
    const int ok = find_best_window(energy, aw, ah, cw, ch, &best);
    std::free(energy);
    if (!ok) return 0;
    *choice = SmartChoice{aw, ah, cw, ch, best,
                          map_window_to_source(source.width, source.height, aw, ah, best.x, best.y, cw, ch)};
    return 1;
}

int smart_thumbnail(const char *input, const char *output, int32_t width, int32_t height)
{
    const ThumbOptions opt{THUMB_SMART, width, height, 1, 1, false, true, JPEG_QUALITY_DEFAULT, {0, 0, 0, 0}};
    return options_thumbnail(input, output, opt);
}
