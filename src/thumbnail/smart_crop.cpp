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

// The size of the analysis image of a w x h source: the source's own when
// neither side exceeds ANALYSIS_MAX.
static void analysis_size(int32_t w, int32_t h, int32_t *aw, int32_t *ah)
{
    const int32_t m = w > h ? w : h;
    *aw = w;
    *ah = h;
    if (m <= ANALYSIS_MAX) return;
    // Through the double scale, not an exact fraction: an exact half of the
    // shorter side may round either way (2496 x 117 gives 160 x 7).
    const double s = (double)ANALYSIS_MAX / (double)m;
    *aw = (int32_t)((double)w * s + 0.5);
    *ah = (int32_t)((double)h * s + 0.5);
    if (*aw < 1) *aw = 1;
    if (*ah < 1) *ah = 1;
}

int analysis_rows_begin(AnalysisRows *a, int32_t width, int32_t height)
{
    a->out = Image{0, 0, nullptr};
    a->src_w = width;
    a->src_h = height;
    a->rows_in = 0;
    a->y = 0;
    int32_t aw, ah;
    analysis_size(width, height, &aw, &ah);
    if (aw == width && ah == height) return 0; // the source itself serves
    a->out = Image{aw, ah, (unsigned char *)std::malloc((size_t)image_bytes(aw, ah))};
    if (!a->out.pixels) return 0;
    // With aw <= width and ah <= height the blocks tile the source: each
    // row of the source belongs to exactly one analysis row, in order.
    block_bounds(width, aw, a->col_lo, a->col_hi);
    block_bounds(height, ah, a->row_lo, a->row_hi);
    return 1;
}

void analysis_rows_add(AnalysisRows *a, const unsigned char *row)
{
    if (!a->out.pixels || a->y >= a->out.height) return;
    const int32_t aw = a->out.width, y = a->y;
    // A block holds at most about 205 x 308 pixels (sides up to 32768), so
    // its sums stay far below 2^32; integer sums are exact in any order.
    if (a->rows_in == a->row_lo[y]) std::memset(a->sums, 0, sizeof a->sums);
    for (int32_t x = 0; x < aw; x++)
        add_pixels(row + (int64_t)a->col_lo[x] * RGBA_CHANNELS, row + (int64_t)a->col_hi[x] * RGBA_CHANNELS,
                   a->sums + x * RGBA_CHANNELS);
    a->rows_in++;
    if (a->rows_in < a->row_hi[y]) return;
    // The analysis row is complete: its rounded block means.
    const uint64_t rows = (uint64_t)(a->row_hi[y] - a->row_lo[y]);
    unsigned char *out = a->out.pixels + (int64_t)y * aw * RGBA_CHANNELS;
    for (int32_t x = 0; x < aw; x++) {
        const uint64_t n = (uint64_t)(a->col_hi[x] - a->col_lo[x]) * rows;
        for (int c = 0; c < RGBA_CHANNELS; c++)
            *out++ = (unsigned char)(((uint64_t)a->sums[x * RGBA_CHANNELS + c] + n / 2) / n);
    }
    a->y++;
}

Image analysis_rows_take(AnalysisRows *a)
{
    Image out = a->out;
    a->out = Image{0, 0, nullptr};
    if (out.pixels && a->rows_in == a->src_h && a->y == out.height) return out;
    std::free(out.pixels);
    return Image{0, 0, nullptr};
}

Image make_analysis_image(const Image &source)
{
    const int32_t w = source.width, h = source.height;
    AnalysisRows a;
    if (analysis_rows_begin(&a, w, h)) {
        // The source is read once, row after row.
        const int64_t stride = (int64_t)w * RGBA_CHANNELS;
        for (int32_t y = 0; y < h; y++) analysis_rows_add(&a, source.pixels + y * stride);
        return analysis_rows_take(&a);
    }
    if (a.out.width == 0) {
        // Not reduced: a copy.
        Image out{w, h, (unsigned char *)std::malloc((size_t)image_bytes(w, h))};
        if (out.pixels) {
            std::memcpy(out.pixels, source.pixels, (size_t)image_bytes(w, h));
            return out;
        }
    }
    set_err("out of memory");
    return Image{w, h, nullptr};
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
    return smart_choose_from(source, make_analysis_image(source), width, height, choice);
}

int smart_choose_from(const Image &source, Image analysis, int32_t width, int32_t height, SmartChoice *choice)
{
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
