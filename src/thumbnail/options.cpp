// The body of every thumbnail operation: the region and size each mode
// keeps, the picture turned upright first, the pad mode's canvas.
#include "thumbnail/options.h"

#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "io/image_io.h"
#include "io/orientation.h"
#include "io/row_source.h"
#include "pixels/orient.h"
#include "pixels/resample.h"
#include "thumbnail/aspect.h"
#include "thumbnail/smart_crop.h"

static const int64_t PIXEL_BYTES = 4;

void fit_size(int32_t w, int32_t h, int32_t W, int32_t H, int32_t *fw, int32_t *fh)
{
    // Sides up to 32768 and boxes up to 4096: no product passes 2^27.
    if (W * h <= H * w) {
        *fw = W;
        *fh = (h * W + w / 2) / w;
    } else {
        *fw = (w * H + h / 2) / h;
        *fh = H;
    }
    if (*fw < 1) *fw = 1;
    if (*fh < 1) *fh = 1;
}

ThumbPlan plan_thumbnail(int32_t w, int32_t h, const ThumbOptions &opt)
{
    ThumbPlan p;
    if (opt.mode == THUMB_FIT || opt.mode == THUMB_PAD) {
        p.region = CropRect{0, 0, w, h};
        fit_size(w, h, opt.width, opt.height, &p.tw, &p.th);
    } else if (opt.mode == THUMB_ASPECT) {
        p.region = aspect_crop_rect(w, h, opt.num, opt.den);
        aspect_thumb_size(p.region.w, p.region.h, opt.width, opt.num, opt.den, &p.tw, &p.th);
    } else {
        // Cover is the centred crop with the box as its ratio.
        p.region = aspect_crop_rect(w, h, opt.width, opt.height);
        p.tw = opt.width;
        p.th = opt.height;
    }
    // Without enlarging, a region the size would stretch on either axis is
    // kept at its own size: resampling 1 : 1 keeps every pixel.
    if (!opt.upscale && (p.tw > p.region.w || p.th > p.region.h)) {
        p.tw = p.region.w;
        p.th = p.region.h;
    }
    p.canvas_w = p.tw;
    p.canvas_h = p.th;
    p.at_x = p.at_y = 0;
    if (opt.mode == THUMB_PAD) {
        // The fitted size never exceeds the box, enlarged or not.
        p.canvas_w = opt.width;
        p.canvas_h = opt.height;
        p.at_x = (opt.width - p.tw) / 2;
        p.at_y = (opt.height - p.th) / 2;
    }
    return p;
}

// The resampled thumb on the plan's canvas: for pad a canvas of the
// background colour whose pixels under the thumbnail are the thumbnail's
// own (no blending); otherwise the thumb itself. Frees thumb; the result has
// a null buffer with "out of memory for %dx%d canvas" when it cannot be made.
static Image place_on_canvas(Image *thumb, const ThumbPlan &p, const ThumbOptions &opt)
{
    if (opt.mode != THUMB_PAD) {
        const Image same = *thumb;
        *thumb = Image{0, 0, nullptr};
        return same;
    }
    Image canvas{p.canvas_w, p.canvas_h, (unsigned char *)std::malloc((size_t)image_bytes(p.canvas_w, p.canvas_h))};
    if (!canvas.pixels) {
        set_err("out of memory for %dx%d canvas", p.canvas_w, p.canvas_h);
    } else {
        const int64_t pixels = (int64_t)p.canvas_w * p.canvas_h;
        for (int64_t i = 0; i < pixels; i++) std::memcpy(canvas.pixels + i * PIXEL_BYTES, opt.background, PIXEL_BYTES);
        const int64_t stride = (int64_t)p.canvas_w * PIXEL_BYTES, row = (int64_t)thumb->width * PIXEL_BYTES;
        for (int32_t y = 0; y < thumb->height; y++)
            std::memcpy(canvas.pixels + (p.at_y + y) * stride + p.at_x * PIXEL_BYTES, thumb->pixels + y * row,
                        (size_t)row);
    }
    std::free(thumb->pixels);
    *thumb = Image{0, 0, nullptr};
    return canvas;
}

// The last steps once the region is resampled: the canvas, then the file.
static int finish_thumbnail(Image *thumb, const ThumbPlan &p, const ThumbOptions &opt, const char *output)
{
    Image done = place_on_canvas(thumb, p, opt);
    if (!done.pixels) return 0;
    return save_thumbnail(&done, output, opt.jpeg_quality);
}

// The thumbnail of a decoded, upright source, which it frees; analysis is
// the smart crop's analysis image of it when made already (taken and freed).
static int thumbnail_of_image(Image *src, Image analysis, const ThumbOptions &opt, const char *output)
{
    if (opt.mode == THUMB_SMART) {
        SmartChoice choice;
        if (!analysis.pixels) analysis = make_analysis_image(*src);
        if (!smart_choose_from(*src, analysis, opt.width, opt.height, &choice)) {
            std::free(src->pixels);
            *src = Image{0, 0, nullptr};
            return 0;
        }
        return resize_and_save(src, choice.region, opt.width, opt.height, output, opt.jpeg_quality);
    }
    const ThumbPlan p = plan_thumbnail(src->width, src->height, opt);
    Image thumb = resize_image(image_region(*src, p.region.x, p.region.y, p.region.w, p.region.h), p.tw, p.th);
    std::free(src->pixels);
    *src = Image{0, 0, nullptr};
    if (!thumb.pixels) return 0;
    return finish_thumbnail(&thumb, p, opt, output);
}

static int begin_analysis(void *ctx, int32_t width, int32_t height)
{
    return analysis_rows_begin((AnalysisRows *)ctx, width, height);
}

static void add_analysis_row(void *ctx, const unsigned char *pixels)
{
    analysis_rows_add((AnalysisRows *)ctx, pixels);
}

int options_thumbnail(const char *input, const char *output, const ThumbOptions &opt)
{
    InputFile in;
    if (!open_input(input, &in)) return 0;
    const int orientation = opt.rotate ? input_orientation(&in) : ORIENTATION_UPRIGHT;
    // A row decoder's rows go straight into the resampler: the region and
    // the size follow from the header's width and height alone.
    RowSource rows;
    if (orientation == ORIENTATION_UPRIGHT && opt.mode != THUMB_SMART && row_source_open(&in, &rows)) {
        const ThumbPlan p = plan_thumbnail(rows.width, rows.height, opt);
        Image thumb;
        const int made = resize_rows(&rows, p.region, p.tw, p.th, &thumb);
        row_source_close(&rows);
        if (made >= 0) {
            close_input(&in);
            return made ? finish_thumbnail(&thumb, p, opt, output) : 0;
        }
    }
    // The smart crop's analysis image of an upright source is summed from
    // the rows as a row decoder writes them, while they are in the cache.
    AnalysisRows *rows_analysis = nullptr;
    if (opt.mode == THUMB_SMART && orientation == ORIENTATION_UPRIGHT)
        rows_analysis = (AnalysisRows *)std::malloc(sizeof(AnalysisRows));
    if (rows_analysis) *rows_analysis = AnalysisRows{}; // nothing begun: an empty image to take
    RowWatch watch{begin_analysis, add_analysis_row, rows_analysis, false};
    Image src;
    const int decoded = decode_input_watched(&in, &src, rows_analysis ? &watch : nullptr);
    close_input(&in);
    Image analysis{0, 0, nullptr};
    if (rows_analysis) {
        analysis = analysis_rows_take(rows_analysis);
        if (!watch.complete || !decoded) {
            std::free(analysis.pixels);
            analysis = Image{0, 0, nullptr};
        }
        std::free(rows_analysis);
    }
    if (!decoded) return 0;
    if (orientation != ORIENTATION_UPRIGHT) {
        Image upright = orient_image(src, orientation);
        std::free(src.pixels);
        if (!upright.pixels) return 0;
        src = upright;
    }
    return thumbnail_of_image(&src, analysis, opt, output);
}
