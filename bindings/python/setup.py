"""Bundles the two shared libraries into the package and tags the wheel for
the platform it was built for (the code is Python, the libraries are not).

The library file is taken from the environment variable
QUINTARO_IMGTHUMBNAIL_LIBRARY (a path to libquintaro-imgthumbnail.so[.N...]
or quintaro-imgthumbnail.dll), or else from ../../build/linux/lib, the
repository's usual Linux build; the options library from
QUINTARO_IMGTHUMBNAIL_EX_LIBRARY, or else from beside the first (the same
name with -ex). QUINTARO_IMGTHUMBNAIL_PLAT_NAME overrides the wheel's
platform tag (win_amd64 for the DLLs built on Linux)."""
import os
import shutil

from setuptools import setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_LIBRARY = os.path.join(HERE, "..", "..", "build", "linux", "lib", "libquintaro-imgthumbnail.so")


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


setup(cmdclass={"build_py": build_py_with_library, "bdist_wheel": bdist_wheel_for_platform})
