"""The Dask example on a local cluster of two worker processes (one thread
each): 100 generated images and two files that are no images, each outcome
in the report, every thumbnail the same bytes as a direct call makes."""
import importlib.util
import os
import pathlib

import pytest

import quintaro_imgthumbnail as qit
from images import bmp, png, tga

EXAMPLE = pathlib.Path(__file__).resolve().parents[3] / "examples" / "dask_thumbnails.py"
IMAGES = 100
SIZE = 48


def load_example():
    spec = importlib.util.spec_from_file_location("dask_thumbnails", EXAMPLE)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def test_cluster_run_matches_direct_calls(tmp_path, monkeypatch):
    pytest.importorskip("dask.distributed")
    example = load_example()
    src = tmp_path / "photos"
    src.mkdir()
    writers = (png, bmp, tga)
    for i in range(IMAGES):
        write = writers[i % len(writers)]
        ext = {png: ".png", bmp: ".bmp", tga: ".tga"}[write]
        write(src / ("img%03d%s" % (i, ext)), 20 + i % 37, 15 + (i * 7) % 41, seed=i)
    (src / "notes.txt").write_text("not an image\n")
    (src / "broken.jpg").write_bytes(b"\xff\xd8\xff\xe0 truncated")
    (src / ".hidden.png").write_bytes(b"left out")

    # The workers are new processes: they find the package and the library
    # where this process does.
    package_dir = os.path.dirname(os.path.dirname(qit.__file__))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join([package_dir, os.environ.get("PYTHONPATH", "")]))
    monkeypatch.setenv("QUINTARO_IMGTHUMBNAIL_LIBRARY", os.path.abspath(qit.library_path))
    monkeypatch.chdir(tmp_path)
    status = example.main([str(src), "out", "--size", str(SIZE), "--workers", "2", "--chunk", "8",
                           "--report", "report.tsv"])
    assert status == 1  # two files failed

    lines = (tmp_path / "report.tsv").read_text().splitlines()
    assert len(lines) == IMAGES + 2
    report = {line.split("\t")[0]: line.split("\t")[1:] for line in lines}
    assert report["notes.txt"] == ["failed", "cannot decode '%s': unknown image type" % (src / "notes.txt")]
    assert report["broken.jpg"][0] == "failed"
    assert report["broken.jpg"][1].startswith("cannot decode '%s': " % (src / "broken.jpg"))

    direct = tmp_path / "direct"
    direct.mkdir()
    for name in sorted(os.listdir(src)):
        if name.startswith(".") or name in ("notes.txt", "broken.jpg"):
            continue
        assert report[name] == ["written", ""], name
        qit.square(src / name, direct / name, SIZE)
        assert (tmp_path / "out" / name).read_bytes() == (direct / name).read_bytes(), name
    assert sorted(os.listdir(tmp_path / "out")) == sorted(os.listdir(direct))
