#!/bin/sh
# The NuGet package as a user meets it. Takes the package the Windows build
# made (from its DLLs), checks its contents, makes the package again with
# this Linux build's libraries added, and compiles the .NET binding's test
# program against that package's assembly, unzipped, then runs it with Mono
# against the package's Linux libraries.
# usage: check_package.sh WINDOWS_BUILD_DIR LINUX_LIB_DIR WORK_DIR VERSION MCS MONO MONO_API MINGW_STRIP
set -eu
windows=$1 linux_lib=$2 work=$3 version=$4 mcs=$5 mono=$6 mono_api=$7 strip=$8
here=$(cd "$(dirname "$0")" && pwd)
id=Quintaro.ImgThumbnail
rm -rf "$work"
mkdir -p "$work/win" "$work/both"
work=$(cd "$work" && pwd)

listing() { # folder
  (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

package=$windows/nuget/$id.$version.nupkg
[ -f "$package" ] || { echo "the Windows build made no $package"; exit 1; }
(cd "$work/win" && cmake -E tar xf "$package")
listing "$work/win" >"$work/win.txt"
LC_ALL=C sort >"$work/win-expected.txt" <<LIST
$id.nuspec
[Content_Types].xml
_rels/.rels
lib/netstandard2.0/$id.dll
runtimes/win-x64/native/quintaro-imgthumbnail.dll
runtimes/win-x64/native/quintaro-imgthumbnail-ex.dll
LIST
if ! cmp -s "$work/win-expected.txt" "$work/win.txt"; then
  echo "the package holds other files (< expected, > held):"
  diff "$work/win-expected.txt" "$work/win.txt" || true
  exit 1
fi
# The Windows build's DLLs, without their debug sections (but in a Debug
# build).
for dll in quintaro-imgthumbnail quintaro-imgthumbnail-ex; do
  SOURCE_DATE_EPOCH=0 "$strip" --strip-debug -o "$work/$dll.dll" "$windows/bin/$dll.dll"
  cmp -s "$work/$dll.dll" "$work/win/runtimes/win-x64/native/$dll.dll" ||
    cmp -s "$windows/bin/$dll.dll" "$work/win/runtimes/win-x64/native/$dll.dll" ||
    { echo "the package's $dll.dll is not the Windows build's"; exit 1; }
done
grep -q "<id>$id</id>" "$work/win/$id.nuspec" && grep -q "<version>$version</version>" "$work/win/$id.nuspec" ||
  { echo "the .nuspec names another package:"; cat "$work/win/$id.nuspec"; exit 1; }
grep -q 'Target="/'"$id"'.nuspec"' "$work/win/_rels/.rels" || { echo "_rels/.rels does not name the manifest"; exit 1; }

echo "== the package with the Linux libraries"
cmake -DVERSION="$version" -DMCS="$mcs" -DMONO_API="$mono_api" -DSOURCE="$here/../ImgThumbnail.cs" \
  -DWINDOWS_DIR="$windows/bin" -DLINUX_DIR="$linux_lib" -DSTRIP="$strip" -DOUT_DIR="$work" -P "$here/make_package.cmake"
(cd "$work/both" && cmake -E tar xf "$work/$id.$version.nupkg")
listing "$work/both" >"$work/both.txt"
{ cat "$work/win-expected.txt"
  echo runtimes/linux-x64/native/libquintaro-imgthumbnail.so
  echo runtimes/linux-x64/native/libquintaro-imgthumbnail-ex.so; } | LC_ALL=C sort >"$work/both-expected.txt"
cmp -s "$work/both-expected.txt" "$work/both.txt" ||
  { echo "the package holds other files:"; diff "$work/both-expected.txt" "$work/both.txt" || true; exit 1; }

echo "== a program compiled against the package's assembly, run by Mono"
mkdir "$work/app"
cp "$work/both/lib/netstandard2.0/$id.dll" "$work/app/"
"$mcs" -warnaserror -r:"$work/app/$id.dll" -out:"$work/app/ImgThumbnailTest.exe" "$here/../ImgThumbnailTest.cs"
LD_LIBRARY_PATH="$work/both/runtimes/linux-x64/native" "$mono" "$work/app/ImgThumbnailTest.exe" "$work/run"
