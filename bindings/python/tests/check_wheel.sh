#!/bin/sh
# Builds the wheel offline from the built shared libraries, installs it into
# a fresh venv with pip (no index) and makes thumbnails with it from another
# folder, with no library path set: the wheel must carry both libraries, and
# the version and ratios of the header it was built from.
# usage: check_wheel.sh LIBRARY WORK_DIR [PYTHON]
set -eu
library=$1 work=$2 python=${3:-/usr/bin/python3}
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$here/../.." && pwd)
rm -rf "$work"
mkdir -p "$work/elsewhere"
work=$(cd "$work" && pwd)
# A copy of the sources in the repository's layout (the package and the
# header it takes its version from), so the build leaves nothing behind.
package=$work/src/bindings/python
mkdir -p "$package" "$work/src/include"
cp -r "$here/pyproject.toml" "$here/setup.py" "$here/README.md" "$here/quintaro_imgthumbnail" "$package/"
cp "$root/include/imgthumbnail.h" "$work/src/include/"
version=$(sed -n 's/^#define IMGTHUMBNAIL_VERSION_STRING "\(.*\)"$/\1/p' "$root/include/imgthumbnail.h")

QUINTARO_IMGTHUMBNAIL_LIBRARY=$library "$python" -m build --no-isolation --wheel --outdir "$work/dist" "$package" \
  >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
wheel=$(ls "$work"/dist/*.whl)
echo "built $(basename "$wheel")"
case $(basename "$wheel") in
  "quintaro_imgthumbnail-$version-py3-none-linux_"*.whl) ;;
  *) echo "unexpected wheel name: the version must be the header's ($version), the tag must name the platform"
     exit 1 ;;
esac
listing=$("$python" -m zipfile -l "$wheel")
for lib in libquintaro-imgthumbnail.so.1 libquintaro-imgthumbnail-ex.so.1; do
  echo "$listing" | grep -q "quintaro_imgthumbnail/$lib " ||
    { echo "the wheel does not carry $lib:"; echo "$listing"; exit 1; }
done

"$python" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install --no-index --quiet "$wheel"

# Nothing of the source tree is in reach: the header it was built from is gone.
rm -rf "$work/src"
cd "$work/elsewhere"
env -u LD_LIBRARY_PATH -u QUINTARO_IMGTHUMBNAIL_LIBRARY -u PYTHONPATH EXPECTED_VERSION="$version" \
  "$work/venv/bin/python" - <<'PY'
import os, struct, sys, zlib
import quintaro_imgthumbnail as qit

assert qit.library_path.startswith(sys.prefix), qit.library_path
assert qit.__version__ == os.environ["EXPECTED_VERSION"], qit.__version__
assert qit.ex_library_path.startswith(sys.prefix), qit.ex_library_path
raw = b"".join(b"\0" + b"".join(bytes((x * 6 % 256, y * 6 % 256, 120)) for x in range(40)) for y in range(30))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open("in.png", "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 40, 30, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
qit.smart("in.png", "out.png", 16, 12)
with open("out.png", "rb") as f:
    assert struct.unpack(">II", f.read(24)[16:24]) == (16, 12)
qit.aspect("in.png", "wide.png", 16, "16:9")
with open("wide.png", "rb") as f:
    assert struct.unpack(">II", f.read(24)[16:24]) == (16, 9)
qit.thumbnail("in.png", "fit.png", 20, 20, mode="fit")
with open("fit.png", "rb") as f:
    assert struct.unpack(">II", f.read(24)[16:24]) == (20, 15)
try:
    qit.square("in.png", "x.png", 0)
    raise SystemExit("no error raised")
except qit.ImgThumbnailError as e:
    assert str(e) == "square: size 0 out of range 1..4096", str(e)
try:
    qit.thumbnail("in.png", "x.png", 20, 20, quality=0)
    raise SystemExit("no error raised")
except qit.ImgThumbnailError as e:
    assert str(e) == "thumbnail: quality 0 out of range 1..100", str(e)
print("the installed wheel works:", qit.library_path, qit.ex_library_path)
PY
