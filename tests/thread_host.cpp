// Many threads calling both libraries at once: each thumbnail must be the
// very one a lone call writes and nothing may crash or leak. Only the seven
// functions' message read after a failure may come from another thread's
// call: the options library's is each thread's own, which every thread
// checks after failures of its own between the thumbnails. Uses the public
// interfaces only. Writes its inputs, then every thumbnail once on one
// thread, then all of them again from eight threads at once, and compares.
// usage: thread_host WORK_DIR
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "imgthumbnail.h"
#include "imgthumbnail_ex.h"

#ifdef _WIN32
#include <direct.h>
static int make_folder(const char *path) { return _mkdir(path); }
#else
#include <sys/stat.h>
static int make_folder(const char *path) { return mkdir(path, 0777); }
#endif

namespace {

const int THREADS = 8;
const int CALLS_PER_THREAD = 40;

enum Op { SQUARE, ASPECT, SMART, EX_COVER, EX_FIT, EX_PAD, EX_SMART };

struct Job {
    Op op;
    std::string input;
    std::string ext; // the output's extension, which picks its format
    int a, b;        // size and ratio, or width and height
    bool fails;      // an input that cannot be read
};

// A picture with edges and gradients, as a binary PPM.
bool write_ppm(const std::string &path, int w, int h, int seed)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const bool disc = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < (h / 4) * (h / 4);
            std::fputc(disc ? 230 : (x * 255 / w + seed) & 255, f);
            std::fputc((y * 255 / h) & 255, f);
            std::fputc(((x / 5 + y / 7 + seed) % 2) ? 40 : 200, f);
        }
    return std::fclose(f) == 0;
}

bool run_ex(const Job &j, const std::string &output, int mode)
{
    imgthumbnail_ex_options o;
    imgthumbnail_ex_defaults(&o);
    o.mode = mode;
    o.width = j.a;
    o.height = j.b;
    o.quality = 30 + j.a % 70;
    o.background = 0x40800000u | (unsigned)j.b;
    o.upscale = j.a % 2;
    return imgthumbnail_ex_thumbnail(j.input.c_str(), output.c_str(), &o) == 1;
}

bool run(const Job &j, const std::string &output)
{
    switch (j.op) {
    case SQUARE: return imgthumbnail_square(j.input.c_str(), output.c_str(), j.a) == 1;
    case ASPECT: return imgthumbnail_aspect(j.input.c_str(), output.c_str(), j.a, j.b) == 1;
    case SMART: return imgthumbnail_smart(j.input.c_str(), output.c_str(), j.a, j.b) == 1;
    case EX_COVER: return run_ex(j, output, IMGTHUMBNAIL_EX_COVER);
    case EX_FIT: return run_ex(j, output, IMGTHUMBNAIL_EX_FIT);
    case EX_PAD: return run_ex(j, output, IMGTHUMBNAIL_EX_PAD);
    case EX_SMART: return run_ex(j, output, IMGTHUMBNAIL_EX_SMART);
    }
    return false;
}

// A failing call of the options library whose message only this thread
// and this call can have written; true when the message read is it.
bool own_message(int thread, int call)
{
    imgthumbnail_ex_options o;
    imgthumbnail_ex_defaults(&o);
    o.width = o.height = 10;
    o.quality = -(thread * 1000 + call);
    if (imgthumbnail_ex_thumbnail("in.png", "out.png", &o) != 0) return false;
    return std::string(imgthumbnail_ex_last_error()) ==
           "thumbnail: quality " + std::to_string(o.quality) + " out of range 1..100";
}

std::vector<unsigned char> read_file(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: thread_host WORK_DIR\n");
        return 2;
    }
    const std::string work = argv[1];
    const std::string in = work + "/in", ref = work + "/ref", par = work + "/threads";
    make_folder(work.c_str());
    make_folder(in.c_str());
    make_folder(ref.c_str());
    make_folder(par.c_str());

    // Inputs of every format the encoders write, made through the library.
    std::vector<std::string> inputs;
    const int sizes[][2] = {{640, 427}, {333, 500}, {1200, 300}, {97, 61}};
    for (int i = 0; i < 4; i++) {
        const std::string ppm = in + "/p" + std::to_string(i) + ".ppm";
        if (!write_ppm(ppm, sizes[i][0], sizes[i][1], i * 37)) return 1;
        inputs.push_back(ppm);
        for (const char *ext : {"png", "jpg", "bmp", "tga"}) {
            const std::string made = in + "/p" + std::to_string(i) + "." + ext;
            if (!imgthumbnail_aspect(ppm.c_str(), made.c_str(), sizes[i][0], IMGTHUMBNAIL_RATIO_1_1 + i % 4)) {
                std::fprintf(stderr, "cannot make %s: %s\n", made.c_str(), imgthumbnail_last_error());
                return 1;
            }
            inputs.push_back(made);
        }
    }
    std::vector<Job> jobs;
    const char *const exts[] = {"png", "jpg", "bmp", "tga"};
    for (size_t i = 0; i < inputs.size(); i++) {
        const std::string ext = exts[i % 4];
        jobs.push_back(Job{SQUARE, inputs[i], ext, 48 + (int)i * 7, 0, false});
        jobs.push_back(Job{ASPECT, inputs[i], ext, 120 - (int)i, (int)i % IMGTHUMBNAIL_RATIO_COUNT, false});
        jobs.push_back(Job{SMART, inputs[i], ext, 40 + (int)i, 90 - (int)i * 2, false});
        jobs.push_back(Job{(Op)(EX_COVER + i % 4), inputs[i], ext, 30 + (int)i * 9, 100 - (int)i * 3, false});
    }
    jobs.push_back(Job{SQUARE, in + "/missing.png", "png", 32, 0, true});
    jobs.push_back(Job{SMART, in + "/p0.ppm", "png", 0, 10, true});
    jobs.push_back(Job{EX_FIT, in + "/missing.png", "png", 32, 32, true});

    for (size_t k = 0; k < jobs.size(); k++) {
        const bool ok = run(jobs[k], ref + "/" + std::to_string(k) + "." + jobs[k].ext);
        if (ok == jobs[k].fails) {
            std::fprintf(stderr, "job %zu alone: %s%s\n", k, imgthumbnail_last_error(), imgthumbnail_ex_last_error());
            return 1;
        }
    }

    std::vector<int> wrong(THREADS, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; t++)
        threads.emplace_back([&, t] {
            for (int c = 0; c < CALLS_PER_THREAD; c++) {
                const size_t k = (size_t)(t * 5 + c * 3) % jobs.size();
                const std::string out = par + "/" + std::to_string(t) + "-" + std::to_string(c) + "." + jobs[k].ext;
                if (run(jobs[k], out) == jobs[k].fails) {
                    wrong[t]++;
                    continue;
                }
                if (!jobs[k].fails &&
                    read_file(out) != read_file(ref + "/" + std::to_string(k) + "." + jobs[k].ext))
                    wrong[t]++;
                if (!own_message(t, c)) wrong[t]++;
            }
        });
    for (std::thread &th : threads) th.join();
    int total = 0;
    for (int t = 0; t < THREADS; t++) total += wrong[t];
    std::printf("%d threads x %d calls over %zu thumbnails: %d wrong\n", THREADS, CALLS_PER_THREAD, jobs.size(),
                total);
    return total == 0 ? 0 : 1;
}
