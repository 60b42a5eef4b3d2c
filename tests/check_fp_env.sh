#!/bin/sh
# Runs the thumbnail host normally and in a hostile floating-point state
# (fp_env_host) and fails unless both wrote the same files, byte for byte.
# usage: check_fp_env.sh RUNNER NORMAL_HOST HOSTILE_HOST WORK_DIR
#   RUNNER: env, or the wine runner for the Windows build (paths relative to
#   the working directory, which wine maps)
set -eu
runner=$1 normal=$2 hostile=$3 work=$4
rm -rf "$work"
mkdir -p "$work/normal" "$work/hostile"
"$runner" "$normal" "$work/normal" >/dev/null
"$runner" "$hostile" "$work/hostile" >/dev/null
diff -r "$work/normal" "$work/hostile"
echo "compared $(find "$work/normal" -type f | wc -l) files: identical"
