// Each exported operation against its bare floor, as fresh processes: the
// operation (imgthumb_run, through the shared library) and the floor
// (imgthumb_floor: the decoder alone reading the input, the encoder alone
// writing the same thumbnail) run in turns, A B B A A B ..., and each pair
// gives one ratio of CPU time (user + system, from the kernel's accounting
// of the finished process). A fresh process pays for every page it touches
// first, as a user's program does; a ratio of adjacent runs holds while the
// load of a shared machine drifts. The verdict is the median ratio.
//
//   imgthumb_pairs [--pairs=N] [--only=TEXT] [--runner=PATH]
//   imgthumb_pairs --prepare-only
//
// --runner measures another build's imgthumb_run against the same floor.
// When vipsthumbnail is installed, the square of the JPEG is also measured
// against it in the same way (it shrinks while decoding, which the library
// cannot: its bytes are those of the full decode).
// Exit status: the number of targets missed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "inputs.h"

extern char **environ;

namespace {

const int DEFAULT_PAIRS = 15;
const double MS_PER_SECOND = 1000.0;
const double MS_PER_MICROSECOND = 0.001;
const double KIB_PER_MIB = 1024.0;
const int THUMB_SIDE = 256;
const char *const RATIO_4X3 = "1";
// Square and aspect do little beside decoding and encoding; the smart crop
// also reads every source pixel once for its analysis image.
const double CENTRE_CROP_LIMIT = 1.02;
const double SMART_LIMIT = 1.06;
// The library's own readers decode faster than the floor's decoder: PNG
// (square and aspect feed its rows straight into the resampler, the smart
// crop decodes the whole image with it) and baseline JPEG (for square and
// aspect only the blocks the thumbnail reads, straight into the resampler).
const double PNG_CENTRE_CROP_LIMIT = 0.60;
const double PNG_SMART_LIMIT = 0.70;
const double JPEG_CENTRE_CROP_LIMIT = 0.65;
const double JPEG_SMART_LIMIT = 0.80;
// Peak memory: the operation's process at most this factor of the floor's,
// whose peak is the decoded image...
const double MEMORY_LIMIT = 1.01;
// ...or, for square and aspect through a row reader (the JPEG, a large
// PNG), which never hold the decoded image, this share of its size.
const double ROWS_IMAGE_SHARE = 0.25;
const int64_t LARGE_IMAGE_PIXELS = 10000000;
const double BYTES_PER_PIXEL = 4.0;
const double BYTES_PER_KIB = 1024.0;
// A square of the JPEG in no more CPU time than vipsthumbnail's.
const double PEER_LIMIT = 1.00;

struct Operation {
    const char *label;
    std::vector<std::string> args; // after the kind: SIZE [RATIO | HEIGHT]
    const char *kind;
    double limit, png_limit, jpeg_limit;
    bool centre_crop;  // square or aspect: fed by rows where a row reader takes the file
    bool memory_floor; // else the peak memory is checked against the floor's (or not at all)
};

const Operation OPERATIONS[] = {
    {"square 256", {std::to_string(THUMB_SIDE)}, "square", CENTRE_CROP_LIMIT, PNG_CENTRE_CROP_LIMIT,
     JPEG_CENTRE_CROP_LIMIT, true, true},
    {"aspect 256 4:3", {std::to_string(THUMB_SIDE), RATIO_4X3}, "aspect", CENTRE_CROP_LIMIT, PNG_CENTRE_CROP_LIMIT,
     JPEG_CENTRE_CROP_LIMIT, true, false},
    {"smart 256x256", {std::to_string(THUMB_SIDE), std::to_string(THUMB_SIDE)}, "smart", SMART_LIMIT,
     PNG_SMART_LIMIT, JPEG_SMART_LIMIT, false, true},
};

bool has_extension(const BenchInput &in, const char *ext)
{
    const size_t dot = in.path.rfind('.');
    return dot != std::string::npos && in.path.substr(dot) == ext;
}

bool is_jpeg(const BenchInput &in)
{
    return has_extension(in, ".jpg");
}

bool is_png(const BenchInput &in)
{
    return has_extension(in, ".png");
}

double limit_for(const BenchInput &in, const Operation &op)
{
    return is_png(in) ? op.png_limit : is_jpeg(in) ? op.jpeg_limit : op.limit;
}

// The peak memory allowed to the operation, in KiB, given the floor's; a
// negative value when none is set.
double memory_allowed_kib(const BenchInput &in, const Operation &op, long floor_peak_kib)
{
    const bool rows = is_jpeg(in) || (is_png(in) && (int64_t)in.width * in.height >= LARGE_IMAGE_PIXELS);
    if (op.centre_crop && rows)
        return ROWS_IMAGE_SHARE * BYTES_PER_PIXEL * (double)in.width * (double)in.height / BYTES_PER_KIB;
    return op.memory_floor ? MEMORY_LIMIT * (double)floor_peak_kib : -1.0;
}

struct Usage {
    double cpu_ms;
    long peak_kib;
};

// Runs argv[0] with its stdout thrown away; false when it cannot be started
// or does not exit with 0.
bool run(const std::vector<std::string> &args, Usage *usage)
{
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int err = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(err));
        return false;
    }
    int status = 0;
    rusage ru;
    if (wait4(pid, &status, 0, &ru) != pid) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        return false;
    }
    usage->cpu_ms = (double)(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * MS_PER_SECOND +
                    (double)(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * MS_PER_MICROSECOND;
    usage->peak_kib = ru.ru_maxrss;
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string read_file(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The thumbnail in PNG file png as the floor reads it: width, height, RGBA.
bool write_raw(const std::string &png, const std::string &raw)
{
    int w = 0, h = 0, n = 0;
    unsigned char *px = stbi_load(png.c_str(), &w, &h, &n, 4);
    if (!px) return false;
    const int32_t size[2] = {w, h};
    std::ofstream f(raw, std::ios::binary);
    f.write((const char *)size, sizeof size);
    f.write((const char *)px, (std::streamsize)w * h * 4);
    stbi_image_free(px);
    return (bool)f;
}

// The first executable called name on PATH, or "".
std::string on_path(const char *name)
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

struct PairResult {
    std::vector<double> ratios, a_ms, b_ms;
    long a_peak = 0, b_peak = 0;
};

// pairs alternating runs of a and b (A B, then B A, ...); false when one
// fails.
bool run_pairs(const std::vector<std::string> &a, const std::vector<std::string> &b, int pairs, PairResult *r)
{
    for (int p = 0; p < pairs; p++) {
        Usage ua, ub;
        const bool ok = p % 2 == 0 ? run(a, &ua) && run(b, &ub) : run(b, &ub) && run(a, &ua);
        if (!ok) return false;
        r->ratios.push_back(ua.cpu_ms / ub.cpu_ms);
        r->a_ms.push_back(ua.cpu_ms);
        r->b_ms.push_back(ub.cpu_ms);
        r->a_peak = std::max(r->a_peak, ua.peak_kib);
        r->b_peak = std::max(r->b_peak, ub.peak_kib);
    }
    return true;
}

std::string ratio_range(const std::vector<double> &ratios)
{
    char range[32];
    std::snprintf(range, sizeof range, "%.3f-%.3f", *std::min_element(ratios.begin(), ratios.end()),
                  *std::max_element(ratios.begin(), ratios.end()));
    return range;
}

std::string beside(const char *self, const char *name)
{
    const std::string s = self;
    const size_t slash = s.rfind('/');
    return (slash == std::string::npos ? std::string() : s.substr(0, slash + 1)) + name;
}

} // namespace

int main(int argc, char **argv)
{
    int pairs = DEFAULT_PAIRS;
    std::string only, runner = beside(argv[0], "imgthumb_run");
    const std::string floor = beside(argv[0], "imgthumb_floor");
    if (argc == 2 && std::strcmp(argv[1], "--prepare-only") == 0) return floor_inputs().empty();
    // A child's peak resident set starts from its parent's at the time it
    // is started, so the photographs are made (when missing) in a process
    // of their own, and this one stays small.
    Usage prepared;
    if (!run({argv[0], "--prepare-only"}, &prepared)) return 1;
    for (int i = 1; i < argc; i++) {
        if (std::strncmp(argv[i], "--pairs=", 8) == 0) pairs = std::atoi(argv[i] + 8);
        else if (std::strncmp(argv[i], "--only=", 7) == 0) only = argv[i] + 7;
        else if (std::strncmp(argv[i], "--runner=", 9) == 0) runner = argv[i] + 9;
        else {
            std::fprintf(stderr, "usage: %s [--pairs=N] [--only=TEXT] [--runner=PATH]\n", argv[0]);
            return 2;
        }
    }
    if (pairs < 1) pairs = 1;
    // Files of this run alone, so that two runs at once never share them.
    const std::string tag = std::to_string((long)getpid());
    const std::string out_op = bench_out_path("pairs-op-" + tag + ".png");
    const std::string out_floor = bench_out_path("pairs-floor-" + tag + ".png");
    const std::string raw = bench_out_path("pairs-thumb-" + tag + ".rgba");
    const std::string out_peer = bench_out_path("pairs-peer-" + tag + ".png");

    std::printf("Each operation against its floor (decoder + encoder alone), %d alternating pairs of fresh\n"
                "processes; CPU time (user + system), medians; the verdict is the median of the pair ratios.\n",
                pairs);
    std::printf("%-26s %-15s %9s %9s %7s %15s %8s %8s %6s  %s\n", "input", "operation", "op ms", "floor ms", "ratio",
                "ratio range", "op MiB", "fl MiB", "limit", "verdict");
    int missed = 0;
    for (const BenchInput &in : floor_inputs())
        for (const Operation &op : OPERATIONS) {
            const std::string name = in.label + " " + op.label;
            if (!only.empty() && name.find(only) == std::string::npos) continue;
            std::vector<std::string> op_cmd = {runner, op.kind, in.path, out_op};
            op_cmd.insert(op_cmd.end(), op.args.begin(), op.args.end());
            const std::vector<std::string> floor_cmd = {floor, in.path, raw, out_floor};
            // One run of each first: the thumbnail for the floor, and the
            // input in the page cache.
            Usage u_op, u_floor;
            if (!run(op_cmd, &u_op) || !write_raw(out_op, raw) || !run(floor_cmd, &u_floor)) {
                missed++;
                continue;
            }
            if (read_file(out_op) != read_file(out_floor))
                std::fprintf(stderr, "%s: the floor's file differs from the operation's\n", name.c_str());
            // A B, then B A: neither always runs second.
            PairResult r;
            if (!run_pairs(op_cmd, floor_cmd, pairs, &r)) {
                missed++;
                continue;
            }
            const double ratio = median(r.ratios);
            const double limit = limit_for(in, op);
            const double allowed = memory_allowed_kib(in, op, r.b_peak);
            const bool memory_met = allowed < 0 || (double)r.a_peak <= allowed;
            const bool met = ratio <= limit && memory_met;
            missed += !met;
            std::printf("%-26s %-15s %9.1f %9.1f %7.3f %15s %8.1f %8.1f %6.2f  %s\n", in.label.c_str(), op.label,
                        median(r.a_ms), median(r.b_ms), ratio, ratio_range(r.ratios).c_str(), r.a_peak / KIB_PER_MIB,
                        r.b_peak / KIB_PER_MIB, limit, met ? "met" : memory_met ? "MISSED" : "MISSED (memory)");
            std::fflush(stdout);
        }
    // The square of the JPEG against vipsthumbnail, side by side.
    const std::string vips = on_path("vipsthumbnail");
    for (const BenchInput &in : floor_inputs()) {
        const std::string name = in.label + " square 256 vs vipsthumbnail";
        if (!is_jpeg(in) || vips.empty() || (!only.empty() && name.find(only) == std::string::npos)) continue;
        const std::vector<std::string> op_cmd = {runner, "square", in.path, out_op, std::to_string(THUMB_SIDE)};
        const std::string side = std::to_string(THUMB_SIDE) + "x" + std::to_string(THUMB_SIDE);
        const std::vector<std::string> peer_cmd = {vips, "-s", side, "-c", in.path, "-o", out_peer};
        Usage u;
        PairResult r;
        if (!run(peer_cmd, &u) || !run_pairs(op_cmd, peer_cmd, pairs, &r)) {
            missed++;
            continue;
        }
        const double ratio = median(r.ratios);
        const bool met = ratio <= PEER_LIMIT;
        missed += !met;
        std::printf("%-26s %-15s %9.1f %9.1f %7.3f %15s %8.1f %8.1f %6.2f  %s (against vipsthumbnail -s %s -c)\n",
                    in.label.c_str(), "square 256", median(r.a_ms), median(r.b_ms), ratio,
                    ratio_range(r.ratios).c_str(), r.a_peak / KIB_PER_MIB, r.b_peak / KIB_PER_MIB, PEER_LIMIT,
                    met ? "met" : "MISSED", side.c_str());
        std::fflush(stdout);
    }
    std::remove(out_op.c_str());
    std::remove(out_floor.c_str());
    std::remove(raw.c_str());
    std::remove(out_peer.c_str());
    std::printf("Peak memory (largest of the runs): square and smart within %.0f%% of the floor's; square and\n"
                "aspect of the JPEG and of a PNG of %lld pixels or more at most %.2f x the decoded image.\n",
                (MEMORY_LIMIT - 1.0) * 100.0, (long long)LARGE_IMAGE_PIXELS, ROWS_IMAGE_SHARE);
    return missed;
}
