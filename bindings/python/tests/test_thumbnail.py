"""thumbnail(), the options library through the Python package: each mode,
the options, the exact messages, and threads that run at the same time
without a lock, each writing the bytes a lone call writes and reading its own
messages."""
import struct
import threading
import zlib

import pytest

import quintaro_imgthumbnail as qit
from images import png, png_size


@pytest.fixture()
def photo(tmp_path):
    path = tmp_path / "photo.png"
    png(path, 120, 80, seed=4)
    return path


def tag_orientation(path, orientation):
    """Puts an eXIf chunk with the Orientation tag after the PNG's IHDR."""
    tiff = b"II*\0" + struct.pack("<IHHHIHH", 8, 1, 274, 3, 1, orientation, 0) + b"\0" * 4
    chunk = struct.pack(">I", len(tiff)) + b"eXIf" + tiff + struct.pack(">I", zlib.crc32(b"eXIf" + tiff))
    data = path.read_bytes()
    path.write_bytes(data[:33] + chunk + data[33:])


def bmp_pixel(path, x, y):
    """(r, g, b) of a 24-bit bottom-up BMP, as the library writes them."""
    data = path.read_bytes()
    offset, width, height = struct.unpack("<I", data[10:14])[0], *struct.unpack("<ii", data[18:26])
    stride = (width * 3 + 3) // 4 * 4
    at = offset + (height - 1 - y) * stride + x * 3
    return data[at + 2], data[at + 1], data[at]


def test_each_mode_writes_its_size(photo, tmp_path):
    for mode, size in (("cover", (50, 30)), ("fit", (60, 40)), ("pad", (60, 60)), ("smart", (25, 70))):
        out = tmp_path / (mode + ".png")
        box = (50, 30) if mode == "cover" else (25, 70) if mode == "smart" else (60, 60)
        assert qit.thumbnail(photo, out, *box, mode=mode) is None
        assert png_size(out) == size, mode


def test_cover_and_smart_are_the_seven_functions_bytes(photo, tmp_path):
    qit.square(photo, tmp_path / "a.jpg", 48)
    qit.thumbnail(photo, tmp_path / "b.jpg", 48, 48)
    assert (tmp_path / "a.jpg").read_bytes() == (tmp_path / "b.jpg").read_bytes()
    qit.smart(photo, tmp_path / "a.png", 40, 20)
    qit.thumbnail(photo, tmp_path / "b.png", 40, 20, mode="smart")
    assert (tmp_path / "a.png").read_bytes() == (tmp_path / "b.png").read_bytes()


def test_options_reach_the_library(photo, tmp_path):
    turned = tmp_path / "turned.png"
    png(turned, 120, 80, seed=4)
    tag_orientation(turned, 6)
    qit.thumbnail(turned, tmp_path / "up.png", 60, 60, mode="fit")
    assert png_size(tmp_path / "up.png") == (40, 60)
    qit.thumbnail(turned, tmp_path / "stored.png", 60, 60, mode="fit", rotate=False)
    assert png_size(tmp_path / "stored.png") == (60, 40)

    qit.thumbnail(photo, tmp_path / "small.png", 400, 400, mode="fit", upscale=False)
    assert png_size(tmp_path / "small.png") == (120, 80)

    qit.thumbnail(photo, tmp_path / "q10.jpg", 100, 100, quality=10)
    qit.thumbnail(photo, tmp_path / "q95.jpg", 100, 100, quality=95)
    assert len((tmp_path / "q10.jpg").read_bytes()) < len((tmp_path / "q95.jpg").read_bytes())

    qit.thumbnail(photo, tmp_path / "pad.bmp", 60, 60, mode="pad", background=(10, 200, 30, 255))
    assert bmp_pixel(tmp_path / "pad.bmp", 0, 0) == (10, 200, 30)
    # The default canvas is transparent, which a BMP shows white.
    qit.thumbnail(photo, tmp_path / "clear.bmp", 60, 60, mode="pad")
    assert bmp_pixel(tmp_path / "clear.bmp", 59, 59) == (255, 255, 255)


@pytest.mark.parametrize("kwargs, error, message", [
    (dict(width=0), qit.ImgThumbnailError, "thumbnail: width 0 out of range 1..4096"),
    (dict(height=4097), qit.ImgThumbnailError, "thumbnail: height 4097 out of range 1..4096"),
    (dict(quality=0), qit.ImgThumbnailError, "thumbnail: quality 0 out of range 1..100"),
    (dict(quality=101), qit.ImgThumbnailError, "thumbnail: quality 101 out of range 1..100"),
    (dict(input="missing.png"), qit.ImgThumbnailError, "cannot decode 'missing.png': can't fopen"),
    (dict(mode="stretch"), ValueError, "unknown mode 'stretch': one of cover, fit, pad, smart"),
    (dict(background=(1, 2, 3)), ValueError, "background must be an (r, g, b, a) tuple of 0..255, not (1, 2, 3)"),
    (dict(background=(0, 0, 0, 256)), ValueError, "background must be an (r, g, b, a) tuple of 0..255"),
    (dict(background="#fff"), TypeError, "background must be an (r, g, b, a) tuple of ints"),
    (dict(width=2**32 + 16), OverflowError, "width 4294967312 does not fit a C int"),
])
def test_failures_carry_the_exact_message(photo, tmp_path, kwargs, error, message):
    args = dict(input=photo, output=tmp_path / "o.png", width=40, height=40)
    args.update(kwargs)
    with pytest.raises(error) as caught:
        qit.thumbnail(**args)
    assert str(caught.value).startswith(message)
    assert not (tmp_path / "o.png").exists()


def test_eight_threads_at_once_each_write_what_a_lone_call_writes(tmp_path):
    sources = []
    for i in range(4):
        path = tmp_path / ("in%d.png" % i)
        png(path, 200 + 37 * i, 150 - 21 * i, seed=i)
        if i % 2:
            tag_orientation(path, 5 + i)
        sources.append(path)
    jobs = []
    for i, src in enumerate(sources):
        for mode in qit.MODES:
            for ext in ("png", "jpg"):
                jobs.append(dict(input=src, width=64 + i, height=48 - i, mode=mode, quality=40 + i * 10,
                                 background=(i * 50, 20, 200, 128), ext=ext))
    for k, job in enumerate(jobs):
        job = dict(job)
        ext = job.pop("ext")
        qit.thumbnail(output=tmp_path / ("lone%d.%s" % (k, ext)), **job)
    lone = [(tmp_path / ("lone%d.%s" % (k, j["ext"]))).read_bytes() for k, j in enumerate(jobs)]

    wrong = []
    start = threading.Barrier(8)

    def work(index):
        start.wait()
        for round_ in range(12):
            k = (index * 5 + round_ * 3) % len(jobs)
            job = dict(jobs[k])
            out = tmp_path / ("t%d-%d.%s" % (index, round_, job.pop("ext")))
            qit.thumbnail(output=out, **job)
            if out.read_bytes() != lone[k]:
                wrong.append(out.name)
            # A failure only this thread and round can have written, read
            # while the other threads succeed and fail: the thread's own.
            quality = -(index * 1000 + round_)
            try:
                qit.thumbnail(sources[0], tmp_path / "never.png", 10, 10, quality=quality)
                wrong.append("no failure")
            except qit.ImgThumbnailError as e:
                if str(e) != "thumbnail: quality %d out of range 1..100" % quality:
                    wrong.append(str(e))

    threads = [threading.Thread(target=work, args=(i,)) for i in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert wrong == []


def test_thumbnail_takes_no_lock(photo, tmp_path):
    # With the seven functions' lock held, thumbnail() still runs.
    done = threading.Event()

    def call():
        qit.thumbnail(photo, tmp_path / "free.png", 32, 32)
        done.set()

    with qit._lock:
        worker = threading.Thread(target=call, daemon=True)
        worker.start()
        assert done.wait(60), "thumbnail() waited for the seven functions' lock"
    worker.join()
