"""Thumbnails of image files through the quintaro-imgthumbnail library.

    import quintaro_imgthumbnail as qit
    qit.square("photo.jpg", "thumb.png", 160)
    qit.aspect("photo.jpg", "wide.jpg", 320, "16:9")
    qit.smart("photo.jpg", "crop.png", 200, 300)
    qit.batch("photos", "thumbs", 128)

Each function returns None when the thumbnail (or, for batch, at least one
thumbnail) was written, and raises ImgThumbnailError otherwise; str() of the
error is the library's own message, which also names the limits of sizes
and of input images when a call goes past them.

Paths may be str, bytes or os.PathLike. They reach the library as narrow
strings: encoded with the file-system encoding, or on Windows with the ANSI
code page ('mbcs'; a name that code page cannot spell raises
UnicodeEncodeError). bytes are passed on unchanged.

The library keeps one last-error message per process, so this module
serialises every call of the process with one lock: threads may call it, but
they take turns. For parallel work use processes (one call at a time in
each).

The shared library is the one bundled in this package; the environment
variable QUINTARO_IMGTHUMBNAIL_LIBRARY names another file to load instead.
"""
import ctypes
import operator
import os
import sys
import threading

__all__ = ["ImgThumbnailError", "square", "aspect", "smart", "batch", "RATIOS", "library_path"]

# The version, and the aspect function's ratios as the library numbers them
# ({"1:1": 0, ...}): both from the library's header, as the wheel was built
# with it or, in a source checkout, as it stands there.
try:
    from ._from_header import RATIOS, VERSION as __version__
except ImportError:
    from ._header import HEADER, read_header

    __version__, RATIOS = read_header(HEADER)

_LIBRARY_ENV = "QUINTARO_IMGTHUMBNAIL_LIBRARY"
_WINDOWS = sys.platform == "win32"
_C_INT_MIN = -(2**31)
_C_INT_MAX = 2**31 - 1


class ImgThumbnailError(Exception):
    """A call of the library failed; str() is the library's message."""


def _find_library():
    named = os.environ.get(_LIBRARY_ENV)
    if named:
        return named
    here = os.path.dirname(os.path.abspath(__file__))
    names = ["quintaro-imgthumbnail.dll"] if _WINDOWS else ["libquintaro-imgthumbnail.so.1"]
    for name in names:
        path = os.path.join(here, name)
        if os.path.exists(path):
            return path
    # Not bundled (a source checkout): an installed copy, found by the system.
    return names[0]


library_path = _find_library()
if _WINDOWS:
    # The functions use the platform's standard calling convention, which on
    # 64-bit Windows is the one ctypes.CDLL calls with.
    _lib = ctypes.CDLL(library_path, winmode=0)
else:
    _lib = ctypes.CDLL(library_path)

_lib.imgthumbnail_last_error.restype = ctypes.c_char_p  # copied out, never freed
_lib.imgthumbnail_last_error.argtypes = []
for _name, _ints in (("square", 1), ("aspect", 2), ("smart", 2), ("batch", 1)):
    _fn = getattr(_lib, "imgthumbnail_" + _name)
    _fn.restype = ctypes.c_int
    _fn.argtypes = [ctypes.c_char_p, ctypes.c_char_p] + [ctypes.c_int] * _ints

# One message per process: one caller at a time, and the message read before
# the next call may replace it.
_lock = threading.Lock()


def _encode(path):
    path = os.fspath(path)
    if isinstance(path, str):
        path = path.encode("mbcs") if _WINDOWS else os.fsencode(path)
    if b"\0" in path:
        # The library would see only the part before it.
        raise ValueError("embedded null byte in path %r" % (path,))
    return path


def _decode_message(raw):
    return raw.decode("mbcs", "replace") if _WINDOWS else os.fsdecode(raw)


def _c_int(name, value):
    value = operator.index(value)
    if not _C_INT_MIN <= value <= _C_INT_MAX:
        raise OverflowError("%s %d does not fit a C int" % (name, value))
    return value


def _call(fn, paths, ints):
    args = [_encode(p) for p in paths] + ints
    with _lock:
        if fn(*args):
            return None
        message = _lib.imgthumbnail_last_error()
    raise ImgThumbnailError(_decode_message(message))


def square(src, dst, size):
    """The largest centred square of src, scaled to size x size, written to dst."""
    _call(_lib.imgthumbnail_square, (src, dst), [_c_int("size", size)])


def aspect(src, dst, size, ratio):
    """The largest centred region of ratio ("1:1", "4:3", "16:9", "3:2" or
    0..3), scaled to size pixels wide, written to dst."""
    if isinstance(ratio, str):
        if ratio not in RATIOS:
            raise ValueError("unknown ratio %r: one of %s" % (ratio, ", ".join(RATIOS)))
        ratio = RATIOS[ratio]
    _call(_lib.imgthumbnail_aspect, (src, dst), [_c_int("size", size), _c_int("ratio", ratio)])


def smart(src, dst, width, height):
    """The width x height crop of src with the most detail, written to dst."""
    _call(_lib.imgthumbnail_smart, (src, dst), [_c_int("width", width), _c_int("height", height)])


def batch(src_dir, dst_dir, size):
    """A size x size square of every .png/.jpg/.jpeg/.bmp/.tga file directly
    inside src_dir, written into dst_dir (created when missing)."""
    _call(_lib.imgthumbnail_batch, (src_dir, dst_dir), [_c_int("size", size)])
