"""The library's version and ratio indices, read from its public header
(include/imgthumbnail.h), the one place where they are written.

setup.py reads the header with read_header() when it builds the wheel and
writes the values into the package as _from_header.py (module_text()); a
source checkout has no such file, and the package reads the header of the
checkout it sits in (HEADER). Nothing here loads the library, so setup.py
can use this file on its own."""
import os
import re

# The header of the source checkout that holds this package.
HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir,
                      "include", "imgthumbnail.h")

_VERSION = re.compile(r'^#define IMGTHUMBNAIL_VERSION_STRING "([^"]+)"', re.M)
# IMGTHUMBNAIL_RATIO_16_9 2 is the ratio "16:9" at index 2.
_RATIO = re.compile(r"^#define IMGTHUMBNAIL_RATIO_(\d+)_(\d+) +(\d+)", re.M)


def read_header(path):
    """(version, ratios) as the header at path defines them: the version
    text and {"1:1": 0, ...}, the ratios in the header's order."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    version = _VERSION.search(text)
    ratios = {"%s:%s" % (w, h): int(index) for w, h, index in _RATIO.findall(text)}
    if not version or not ratios:
        raise ValueError("%s defines no IMGTHUMBNAIL_VERSION_STRING or no IMGTHUMBNAIL_RATIO_*" % path)
    return version.group(1), ratios


def module_text(version, ratios):
    """The text of _from_header.py for these values."""
    return ('"""Written from include/imgthumbnail.h when this package was built."""\n'
            "VERSION = %r\nRATIOS = %r\n" % (version, ratios))
