"""The Python package against the real built library: outputs, the exact
messages, every kind of path, argument conversion and the one lock."""
import os
import pathlib
import threading

import pytest

import quintaro_imgthumbnail as qit
from images import bmp, png, png_size, tga


@pytest.fixture()
def photo(tmp_path):
    path = tmp_path / "photo.png"
    png(path, 120, 80, seed=3)
    return path


def test_each_operation_writes_its_thumbnail(photo, tmp_path):
    cases = [
        (lambda out: qit.square(photo, out, 50), (50, 50)),
        (lambda out: qit.aspect(photo, out, 64, "16:9"), (64, 36)),
        (lambda out: qit.aspect(photo, out, 60, 1), (60, 45)),
        (lambda out: qit.smart(photo, out, 30, 70), (30, 70)),
    ]
    for i, (call, size) in enumerate(cases):
        out = tmp_path / ("out%d.png" % i)
        assert call(out) is None
        assert png_size(out) == size


def test_batch_writes_every_image_of_the_folder(tmp_path):
    src = tmp_path / "in"
    src.mkdir()
    png(src / "a.png", 40, 30, 1)
    bmp(src / "b.bmp", 33, 44, 2)
    tga(src / "c.tga", 50, 20, 3)
    qit.batch(src, tmp_path / "out", 16)
    assert sorted(os.listdir(tmp_path / "out")) == ["a.png", "b.bmp", "c.tga"]


def test_ratio_names_are_the_library_numbers(photo, tmp_path):
    # Each name gives the shape it names, and the same bytes as its number.
    heights = {"1:1": 48, "4:3": 36, "16:9": 27, "3:2": 32}
    assert list(qit.RATIOS) == list(heights)
    for name, number in qit.RATIOS.items():
        qit.aspect(photo, tmp_path / "by-name.png", 48, name)
        qit.aspect(photo, tmp_path / "by-number.png", 48, number)
        assert png_size(tmp_path / "by-name.png") == (48, heights[name]), name
        assert (tmp_path / "by-name.png").read_bytes() == (tmp_path / "by-number.png").read_bytes(), name
    with pytest.raises(ValueError, match="unknown ratio '2:1': one of 1:1, 4:3, 16:9, 3:2"):
        qit.aspect(photo, tmp_path / "x.png", 48, "2:1")


@pytest.mark.parametrize("call, message", [
    (lambda d: qit.square(d / "photo.png", d / "o.png", 0), "square: size 0 out of range 1..4096"),
    (lambda d: qit.square(d / "photo.png", d / "o.png", 4097), "square: size 4097 out of range 1..4096"),
    (lambda d: qit.aspect(d / "photo.png", d / "o.png", 10, 7), "aspect: ratio 7 out of range 0..3"),
    (lambda d: qit.aspect(d / "photo.png", d / "o.png", 10, -1), "aspect: ratio -1 out of range 0..3"),
    (lambda d: qit.smart(d / "photo.png", d / "o.png", 100, 5000), "smart: size 5000 out of range 1..4096"),
    (lambda d: qit.batch(d, d / "o", -5), "batch: size -5 out of range 1..4096"),
    (lambda d: qit.square("missing.png", d / "o.png", 10), "cannot decode 'missing.png': can't fopen"),
    (lambda d: qit.square(d / "photo.png", d / "no-dir" / "o.png", 10),
     "cannot encode '{d}/no-dir/o.png' (check the extension)"),
    (lambda d: qit.batch(d / "empty", d / "o", 10), "batch: no images found in '{d}/empty'"),
])
def test_failures_carry_the_library_message_exactly(photo, tmp_path, call, message):
    (tmp_path / "empty").mkdir()
    with pytest.raises(qit.ImgThumbnailError) as caught:
        call(tmp_path)
    assert str(caught.value) == message.format(d=tmp_path)


def test_paths_as_str_bytes_and_pathlike(photo, tmp_path):
    outs = []
    for kind, convert in (("str", str), ("bytes", os.fsencode), ("pathlike", pathlib.Path)):
        out = tmp_path / (kind + ".png")
        qit.square(convert(photo), convert(out), 24)
        outs.append(out.read_bytes())
    assert outs[0] == outs[1] == outs[2]


def test_names_that_are_not_utf8_round_trip(tmp_path):
    # A byte that is no UTF-8 reaches the library unchanged, and comes back
    # in the message as the same str (the file-system encoding's escapes).
    folder = os.fsdecode(os.fsencode(str(tmp_path)) + b"/caf\xe9")
    os.mkdir(folder)
    png(os.path.join(folder, "p.png"), 20, 20)
    qit.square(os.path.join(folder, "p.png"), os.path.join(folder, "t.png"), 8)
    assert png_size(os.path.join(folder, "t.png")) == (8, 8)
    missing = os.path.join(folder, "\u00e9t\u00e9.png")
    with pytest.raises(qit.ImgThumbnailError) as caught:
        qit.square(missing, os.path.join(folder, "u.png"), 8)
    assert str(caught.value) == "cannot decode '%s': can't fopen" % missing


def test_arguments_the_library_could_not_see_are_refused(photo, tmp_path):
    # A NUL would cut the path short; a number beyond a C int would wrap
    # into the valid range (2**32 + 16 is 16 in 32 bits).
    with pytest.raises(ValueError, match="embedded null byte"):
        qit.square(str(photo) + "\0.jpg", tmp_path / "o.png", 16)
    with pytest.raises(OverflowError):
        qit.square(photo, tmp_path / "o.png", 2**32 + 16)
    with pytest.raises(TypeError):
        qit.square(photo, tmp_path / "o.png", 16.0)
    assert not (tmp_path / "o.png").exists()


def test_threads_take_turns_and_each_reads_its_own_message(tmp_path):
    # Successful calls empty the message and failed ones write their own;
    # without one lock around call and read, a thread would see another's.
    big = tmp_path / "big.png"
    png(big, 300, 200, seed=5)
    writers_done = threading.Event()
    wrong = []

    def write(index):
        for _ in range(15):
            qit.square(big, tmp_path / ("t%d.png" % index), 64)

    def fail(index):
        round_ = 0
        while not writers_done.is_set():
            size = -(index * 100000 + round_)
            round_ += 1
            try:
                qit.square(big, tmp_path / "never.png", size)
            except qit.ImgThumbnailError as e:
                if str(e) != "square: size %d out of range 1..4096" % size:
                    wrong.append(str(e))

    writers = [threading.Thread(target=write, args=(i,)) for i in range(3)]
    failers = [threading.Thread(target=fail, args=(i,)) for i in range(3)]
    for t in writers + failers:
        t.start()
    for t in writers:
        t.join()
    writers_done.set()
    for t in failers:
        t.join()
    assert wrong == []


def test_version_and_ratios_are_the_headers(tmp_path):
    # Read with the header's own spelling, not the package's reader.
    root = pathlib.Path(__file__).resolve().parents[3]
    header = root / "include" / "imgthumbnail.h"
    if not header.exists():
        pytest.skip("not in a source tree")
    text = header.read_text()
    assert '#define IMGTHUMBNAIL_VERSION_STRING "%s"\n' % qit.__version__ in text
    for name, number in qit.RATIOS.items():
        assert "#define IMGTHUMBNAIL_RATIO_%s %d\n" % (name.replace(":", "_"), number) in text
    assert "#define IMGTHUMBNAIL_RATIO_COUNT %d\n" % len(qit.RATIOS) in text

    # The module a wheel carries holds the same values.
    from quintaro_imgthumbnail import _header
    module = tmp_path / "_from_header.py"
    module.write_text(_header.module_text(*_header.read_header(str(header))))
    values = {}
    exec(module.read_text(), values)
    assert (values["VERSION"], values["RATIOS"]) == (qit.__version__, qit.RATIOS)
