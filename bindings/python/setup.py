"""Bundles the two shared libraries into the package and tags the wheel for
the platform it was built for (the code is Python, the libraries are not).

The library file is taken from the environment variable
QUINTARO_IMGTHUMBNAIL_LIBRARY (a path to libquintaro-imgthumbnail.so[.N...]
or quintaro-imgthumbnail.dll), or else from ../../build/linux/lib, the
repository's usual Linux build; the options library from
QUINTARO_IMGTHUMBNAIL_EX_LIBRARY, or else from beside the first (the same
name with -ex). QUINTARO_IMGTHUMBNAIL_PLAT_NAME overrides the wheel's
platform tag (win_amd64 for the DLLs built on Linux).

The version and the ratio indices are the library's, read from its header
(include/imgthumbnail.h of this source tree): the wheel's version, and a
module _from_header.py written into the package."""
import importlib.util
import os
import shutil

from setuptools import setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_LIBRARY = os.path.join(HERE, "..", "..", "build", "linux", "lib", "libquintaro-imgthumbnail.so")
HEADER = os.path.join(HERE, "..", "..", "include", "imgthumbnail.h")


def load_header_reader():
    # The package's own reader, without importing the package (which would
    # load the library).
    spec = importlib.util.spec_from_file_location("_header", os.path.join(HERE, "quintaro_imgthumbnail", "_header.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


HEADER_READER = load_header_reader()
VERSION, RATIOS = HEADER_READER.read_header(HEADER)


def library_source():
    path = os.environ.get("QUINTARO_IMGTHUMBNAIL_LIBRARY") or DEFAULT_LIBRARY
    if not os.path.isfile(path):
        raise SystemExit("no library at %s: build the library first, or set QUINTARO_IMGTHUMBNAIL_LIBRARY" % path)
    return path


def ex_library_source(first):
    folder, name = os.path.split(first)
    path = os.environ.get("QUINTARO_IMGTHUMBNAIL_EX_LIBRARY") or os.path.join(
        folder, name.replace("quintaro-imgthumbnail", "quintaro-imgthumbnail-ex", 1))
    if not os.path.isfile(path):
        raise SystemExit("no options library at %s: build it, or set QUINTARO_IMGTHUMBNAIL_EX_LIBRARY" % path)
    return path


def bundled_name(path, stem):
    # The name the package loads: the DLL's own, or the SONAME on Linux.
    return stem + ".dll" if path.lower().endswith(".dll") else "lib%s.so.1" % stem


class build_py_with_library(build_py):
    def run(self):
        super().run()
        source = library_source()
        target_dir = os.path.join(self.build_lib, "quintaro_imgthumbnail")
        os.makedirs(target_dir, exist_ok=True)
        for path, stem in ((source, "quintaro-imgthumbnail"), (ex_library_source(source), "quintaro-imgthumbnail-ex")):
            # The file itself, not a symbolic link to it.
            shutil.copyfile(os.path.realpath(path), os.path.join(target_dir, bundled_name(path, stem)))
        with open(os.path.join(target_dir, "_from_header.py"), "w", encoding="utf-8") as f:
            f.write(HEADER_READER.module_text(VERSION, RATIOS))


class bdist_wheel_for_platform(bdist_wheel):
    def finalize_options(self):
        plat = os.environ.get("QUINTARO_IMGTHUMBNAIL_PLAT_NAME")
        if plat:
            self.plat_name = plat
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        # Any Python 3 loads it through ctypes: only the platform matters.
        _, _, plat = super().get_tag()
        return "py3", "none", plat


setup(version=VERSION, cmdclass={"build_py": build_py_with_library, "bdist_wheel": bdist_wheel_for_platform})
