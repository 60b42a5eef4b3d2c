#!/bin/sh
# Compiles the C host in MSVC mode (clang for x86_64-pc-windows-msvc), links
# it with lld-link against the Visual Studio import library alone and runs it
# under wine beside the DLL. It imports from the DLL only.
# HOST names the host's source beside this script (msvc_host, the default, or
# msvc_ex_host for the options library).
# usage: check_msvc_host.sh CLANG LLD_LINK LLVM_READOBJ INCLUDE_DIR IMPORT_LIB DLL IMAGE WORK_DIR WINE_RUN [HOST]
set -eu
clang=$1 lld_link=$2 readobj=$3 include=$4 import_lib=$5 dll=$6 image=$7 work=$8 wine_run=$9 host=${10:-msvc_host}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cp "$dll" "$image" "$work/"
cp "$image" "$work/in.png"

"$clang" --target=x86_64-pc-windows-msvc -O2 -Wall -Werror -c -I"$include" \
  -o "$work/msvc_host.obj" "$here/$host.c"
# Only our import library: no default libraries, the host's own entry point.
"$lld_link" /nologo /subsystem:console /entry:host_main /nodefaultlib \
  /out:"$work/msvc_host.exe" "$work/msvc_host.obj" "$import_lib"

cd "$work"
imports=$("$readobj" --coff-imports msvc_host.exe | sed -n 's/^ *Name: //p' | sort -u | tr '\n' ' ')
[ "$imports" = "$(basename "$dll") " ] || { echo "the host imports from: $imports"; exit 1; }
rc=0
"$wine_run" msvc_host.exe || rc=$?
[ "$rc" -eq 0 ] || { echo "the MSVC-built host failed at step $rc"; exit 1; }
[ -s out.png ] || { echo "no thumbnail written"; exit 1; }
echo "MSVC-built host linked against $(basename "$import_lib") ran"
