"""Thumbnails of image files through the quintaro-imgthumbnail library.

    import quintaro_imgthumbnail as qit
    qit.square("photo.jpg", "thumb.png", 160)
    qit.aspect("photo.jpg", "wide.jpg", 320, "16:9")
    qit.smart("photo.jpg", "crop.png", 200, 300)
    qit.batch("photos", "thumbs", 128)
    qit.thumbnail("phone.jpg", "fit.jpg", 320, 240, mode="fit", quality=80)

Each function returns None when the thumbnail (or, for batch, at least one
thumbnail) was written, and raises ImgThumbnailError otherwise; str() of the
error is the library's own message, which also names the limits of sizes
and of input images when a call goes past them.

thumbnail() is the options library (quintaro-imgthumbnail-ex): the modes
"cover", "fit", "pad" and "smart", the picture turned upright by its EXIF
Orientation tag unless rotate=False, never enlarged with upscale=False, a
JPEG quality of 1..100 and pad's background as an (r, g, b, a) tuple.

Paths may be str, bytes or os.PathLike. They reach the library as narrow
strings: encoded with the file-system encoding, or on Windows with the ANSI
code page ('mbcs'; a name that code page cannot spell raises
UnicodeEncodeError). bytes are passed on unchanged.

The seven functions' library keeps one last-error message per process, so
this module serialises their calls with one lock: threads may call them, but
they take turns. For parallel work use processes (one call at a time in
each). thumbnail() takes no lock: its library keeps each thread's message
apart, so threads run it at the same time.

The shared libraries are the ones bundled in this package; the environment
variable QUINTARO_IMGTHUMBNAIL_LIBRARY names another file to load instead,
and QUINTARO_IMGTHUMBNAIL_EX_LIBRARY another options library (by default the
one beside the first).
"""
import ctypes
import operator
import os
import sys
import threading

__all__ = ["ImgThumbnailError", "square", "aspect", "smart", "batch", "thumbnail", "RATIOS", "MODES",
           "library_path", "ex_library_path"]

# The version, and the aspect function's ratios as the library numbers them
# ({"1:1": 0, ...}): both from the library's header, as the wheel was built
# with it or, in a source checkout, as it stands there.
try:
    from ._from_header import RATIOS, VERSION as __version__
except ImportError:
    from ._header import HEADER, read_header

    __version__, RATIOS = read_header(HEADER)

_LIBRARY_ENV = "QUINTARO_IMGTHUMBNAIL_LIBRARY"
_EX_LIBRARY_ENV = "QUINTARO_IMGTHUMBNAIL_EX_LIBRARY"
_WINDOWS = sys.platform == "win32"
_C_INT_MIN = -(2**31)
_C_INT_MAX = 2**31 - 1


class ImgThumbnailError(Exception):
    """A call of the library failed; str() is the library's message."""


def _library_names(stem):
    # The DLL's own name, or the SONAME first on Linux (then the build
    # tree's unversioned link).
    return [stem + ".dll"] if _WINDOWS else ["lib%s.so.1" % stem, "lib%s.so" % stem]


def _find_library(env, stem, beside=None):
    named = os.environ.get(env)
    if named:
        return named
    # The package's own folder, then the folder of the library loaded first.
    folders = [os.path.dirname(os.path.abspath(__file__))]
    if beside and os.path.dirname(beside):
        folders.append(os.path.dirname(os.path.abspath(beside)))
    for folder in folders:
        for name in _library_names(stem):
            path = os.path.join(folder, name)
            if os.path.exists(path):
                return path
    # Not bundled (a source checkout): an installed copy, found by the system.
    return _library_names(stem)[0]


def _load(path):
    if _WINDOWS:
        # The functions use the platform's standard calling convention, which
        # on 64-bit Windows is the one ctypes.CDLL calls with.
        return ctypes.CDLL(path, winmode=0)
    return ctypes.CDLL(path)


library_path = _find_library(_LIBRARY_ENV, "quintaro-imgthumbnail")
_lib = _load(library_path)
ex_library_path = _find_library(_EX_LIBRARY_ENV, "quintaro-imgthumbnail-ex", beside=library_path)

_lib.imgthumbnail_last_error.restype = ctypes.c_char_p  # copied out, never freed
_lib.imgthumbnail_last_error.argtypes = []
for _name, _ints in (("square", 1), ("aspect", 2), ("smart", 2), ("batch", 1)):
    _fn = getattr(_lib, "imgthumbnail_" + _name)
    _fn.restype = ctypes.c_int
    _fn.argtypes = [ctypes.c_char_p, ctypes.c_char_p] + [ctypes.c_int] * _ints

# One message per process: one caller at a time, and the message read before
# the next call may replace it.
_lock = threading.Lock()


class _Options(ctypes.Structure):
    """imgthumbnail_ex_options: nine 32-bit fields, no padding."""
    _fields_ = [("struct_size", ctypes.c_int), ("mode", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("ratio", ctypes.c_int), ("rotate", ctypes.c_int),
                ("upscale", ctypes.c_int), ("quality", ctypes.c_int), ("background", ctypes.c_uint)]


# thumbnail()'s modes, as the options library numbers them.
MODES = {"cover": 0, "fit": 1, "pad": 2, "smart": 3}

# The options library is loaded with the package; a copy of the package
# without it keeps the seven functions, and thumbnail() says what is missing.
try:
    _ex = _load(ex_library_path)
    _ex.imgthumbnail_ex_defaults.restype = None
    _ex.imgthumbnail_ex_defaults.argtypes = [ctypes.POINTER(_Options)]
    _ex.imgthumbnail_ex_thumbnail.restype = ctypes.c_int
    _ex.imgthumbnail_ex_thumbnail.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.POINTER(_Options)]
    _ex.imgthumbnail_ex_last_error.restype = ctypes.c_char_p  # the calling thread's, copied out
    _ex.imgthumbnail_ex_last_error.argtypes = []
    _ex_missing = None
except OSError as e:
    _ex = None
    _ex_missing = e


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


def _background(value):
    if value is None:
        return 0
    try:
        channels = [operator.index(c) for c in value]
    except TypeError:
        raise TypeError("background must be an (r, g, b, a) tuple of ints, not %r" % (value,)) from None
    if len(channels) != 4 or not all(0 <= c <= 255 for c in channels):
        raise ValueError("background must be an (r, g, b, a) tuple of 0..255, not %r" % (value,))
    r, g, b, a = channels
    return r << 24 | g << 16 | b << 8 | a


def thumbnail(input, output, width, height, mode="cover", rotate=True, upscale=True, quality=90, background=None):
    """A width x height thumbnail of input, written to output, through the options
    library (no lock: threads run at the same time).

    mode: "cover" (exactly width x height, the largest centred region of that
    shape), "fit" (the whole image inside the box, its shape kept), "pad" (fit,
    centred on a width x height canvas of background) or "smart" (the
    window with the most detail). rotate: turn the image upright by its EXIF
    Orientation tag first. upscale: enlarge to the box (False keeps a smaller
    image or region at its own size). quality: JPEG quality 1..100.
    background: pad's canvas as (r, g, b, a), each 0..255; None is
    transparent (0, 0, 0, 0)."""
    if _ex is None:
        raise OSError("the options library %s could not be loaded: %s" % (ex_library_path, _ex_missing))
    if mode not in MODES:
        raise ValueError("unknown mode %r: one of %s" % (mode, ", ".join(MODES)))
    options = _Options()
    _ex.imgthumbnail_ex_defaults(ctypes.byref(options))
    options.mode = MODES[mode]
    options.width = _c_int("width", width)
    options.height = _c_int("height", height)
    options.rotate = 1 if rotate else 0
    options.upscale = 1 if upscale else 0
    options.quality = _c_int("quality", quality)
    options.background = _background(background)
    args = [_encode(p) for p in (input, output)]
    # ctypes lets go of the interpreter during the call; the message is read
    # right after it on the same thread, which is the thread it belongs to.
    if _ex.imgthumbnail_ex_thumbnail(args[0], args[1], ctypes.byref(options)):
        return None
    raise ImgThumbnailError(_decode_message(_ex.imgthumbnail_ex_last_error()))
