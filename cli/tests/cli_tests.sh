#!/bin/sh
# The imgthumb command as a person or a script meets it: a table of command
# lines, each with its exit status and what it must print and write. Runs
# the real program with the real library (the Windows build under wine).
#
# usage: cli_tests.sh RUNNER IMGTHUMB SAMPLES WORK VERSION SEP LIBRARY CORPUS
#   RUNNER    program that runs IMGTHUMB (the wine wrapper), or - for none
#   SAMPLES   the folder imgthumb_make_samples wrote
#   SEP       the separator the program joins paths with: / or \
#   LIBRARY   cli_library_thumbnails, which makes the libraries' own
#             thumbnails that the command's must equal (run by RUNNER too)
#   CORPUS    the fuzz seed corpus (two PNG files with Orientation tags)
#
# A table row: NAME STATUS 'ARGUMENTS' CHECK... (shell words). Checks:
#   err=TEXT   a line of stderr is TEXT        err~TEXT   a line of stderr holds TEXT
#   out=TEXT   the same for stdout             out~TEXT
#   errlines=N / outlines=N                    the number of lines
#   file=P / nofile=P                          P exists / does not
#   same=A,B                                   files A and B hold the same bytes
#   differ=A,B                                 files A and B both exist and differ
#   samedir=A,B                                folders A and B hold the same files, byte for byte
#   jpeg=P                                     P is a JPEG file
#   noerr~TEXT                                 no line of stderr holds TEXT
#   each=D,F                                   every file in folder D holds the bytes of file F
#   within=D,R                                 every file in folder D is in folder R, byte for byte
#   notmp=D                                    no temporary file (.imgthumb-*.tmp) in D or below
#   nobar                                      no progress bar on stderr
#   env=VAR=VALUE                              run with VAR set (for the workers' test hooks)
#   stop=SIG@GLOB                              run in the background with SIGINT and SIGTERM at
#                                              their defaults; once a file matches GLOB, send SIG
#                                              (-SIG: to the process group, as a terminal's
#                                              Ctrl-C goes); it must end (within STOP_LIMIT s,
#                                              past which it counts as hung)
#   stopafter=N                                with stop=: and once stdout has N lines
# In expected texts {/} stands for SEP. Rows run in order in one folder.
set -u
runner=$1 prog=$2 samples=$3 work=$4 version=$5 sep=$6 library=$7 corpus=$8
[ "$runner" = "-" ] && runner=""
# Seconds after which a stopped run that has not ended counts as hung. This
# is no timing: a stop ends in a second or two (each row prints how long it
# took); the limit only keeps a run that ignores the signal from passing.
STOP_LIMIT=${STOP_LIMIT:-15}
# Tenths of a second to wait for a stop's moment to come.
STOP_WAIT_TENTHS=600
samples=$(cd "$samples" && pwd)
corpus=$(cd "$corpus" && pwd)
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# ---- Fixtures -------------------------------------------------------------------
# mix: the six samples, an undecodable .jpg, a text file, a hidden image, a
# file without extension, a subfolder with an image and a hidden subfolder.
mkdir -p mix/sub/.dot dune same other nc uni
cp "$samples"/* mix/
echo "not an image" >mix/broken.jpg
echo "notes" >mix/notes.txt
cp mix/balloon.png mix/.hidden.png
cp mix/balloon.png mix/README
cp mix/grey.jpg mix/sub/deep.jpg
cp mix/grey.jpg mix/sub/.dot/x.png
# Three photos that all map to Dune.png (Dune.jpeg sorts first).
cp mix/panorama.jpg dune/Dune.jpg
cp mix/grey.jpg dune/Dune.jpeg
cp mix/balloon.png dune/Dune.png
mkdir -p nest
cp mix/balloon.png mix/grey.jpg nest/
cp mix/balloon.png same/a.png
cp mix/panorama.jpg other/b.jpg
cp mix/balloon.png other/b.png
# An output left by an earlier run.
echo "old" >nc/balloon.png
echo "old" >nc/keep.txt
# Names beyond ASCII (and beyond any single-byte Windows code page).
cp mix/balloon.png "uni/名前.png"
cp mix/grey.jpg "uni/café.jpg"
# exif: pictures stored other than upright, with the EXIF Orientation tag
# that says how to turn them. phone.jpg is the 1600 x 400 panorama as a
# phone stores a portrait, on its side (6: upright after a quarter turn
# clockwise), in an APP1 segment written here: a little-endian TIFF whose
# one IFD entry is tag 274, SHORT, count 1, value 6. card.png and late.png
# are the corpus's 12 x 9 PNG files with an eXIf chunk before the image data
# (5: mirrored across the diagonal) and after it (3: upside down), without
# the three bytes of fuzz parameters each seed begins with.
mkdir -p exif
{
  head -c 2 mix/panorama.jpg
  printf '\377\341\000\042Exif\000\000II\052\000\010\000\000\000\001\000'
  printf '\022\001\003\000\001\000\000\000\006\000\000\000\000\000\000\000'
  tail -c +3 mix/panorama.jpg
} >exif/phone.jpg
tail -c +4 "$corpus/png-exif-5" >exif/card.png
tail -c +4 "$corpus/png-exif-late-3" >exif/late.png

# The libraries' own thumbnails, which the command's must equal: the seven
# functions' (what square, aspect and smart write of an untagged image, and
# of any with --no-rotate) and the options library's, with the options each
# row gives the command.
mkdir -p ref
cat >ref-list.txt <<'LIST'
square 24 mix/balloon.png ref/balloon.square.png
smart 40 30 mix/panorama.jpg ref/panorama.smart.png
# Upright (the options library) and as stored (the seven functions)
ex cover 64 64 exif/phone.jpg ref/phone.square.png
square 64 exif/phone.jpg ref/phone.square.still.png
ex aspect 80 0 ratio=2 exif/phone.jpg ref/phone.aspect.png
aspect 80 2 exif/phone.jpg ref/phone.aspect.still.png
ex smart 48 40 exif/phone.jpg ref/phone.smart.png
smart 48 40 exif/phone.jpg ref/phone.smart.still.png
ex cover 60 40 exif/phone.jpg ref/phone.cover.png
ex cover 60 40 rotate=0 exif/phone.jpg ref/phone.cover.still.png
ex fit 90 90 exif/phone.jpg ref/phone.fit.png
ex fit 90 90 rotate=0 exif/phone.jpg ref/phone.fit.still.png
ex fit 30 30 exif/card.png ref/card.fit.png
ex fit 30 30 exif/late.png ref/late.fit.png
ex fit 30 30 rotate=0 exif/card.png ref/card.fit.still.png
# The pad canvas: transparent, opaque, translucent (kept in TGA, over white in JPEG)
ex pad 90 90 exif/phone.jpg ref/phone.pad.png
ex pad 90 90 background=2060A0FF exif/phone.jpg ref/phone.pad.blue.png
ex pad 90 90 background=FF800040 exif/phone.jpg ref/phone.pad.orange.tga
ex pad 90 90 background=FF800040 exif/phone.jpg ref/phone.pad.orange.jpg
# Never enlarged; the JPEG quality; every option at once
ex fit 40 40 upscale=0 exif/card.png ref/card.fit.small.png
ex cover 40 40 upscale=0 exif/card.png ref/card.cover.small.png
ex pad 40 40 upscale=0 background=000000FF exif/card.png ref/card.pad.small.png
ex cover 60 40 quality=35 exif/phone.jpg ref/phone.cover.q35.jpg
ex cover 60 40 exif/phone.jpg ref/phone.cover.q90.jpg
ex aspect 40 0 ratio=1 rotate=0 upscale=0 quality=50 exif/card.png ref/card.aspect.all.jpg
ex pad 50 40 background=102030FF exif/phone.jpg ref/phone.pad.jobs.png
LIST

failures=0
cases=0
fail() {
  echo "FAIL $name: $*"
  failures=$((failures + 1))
}

name=library_thumbnails
$runner "$library" ref-list.txt || fail "the libraries' thumbnails could not all be made"

# Lines of a captured stream, without the carriage returns of Windows text mode.
lines() {
  tr -d '\r' <"$1"
}

has_line() { # file text
  lines "$1" | grep -qxF -- "$2"
}

holds_text() { # file text
  lines "$1" | grep -qF -- "$2"
}

files_hold() { # folder file: every file of folder holds file's bytes
  find "$1" -type f >each.txt
  while read -r f; do cmp -s "$f" "$2" || return 1; done <each.txt
}

files_within() { # a b: every file of a is in b, byte for byte
  (cd "$1" && find . -type f) >within.txt
  while read -r f; do cmp -s "$1/$f" "$2/$f" || return 1; done <within.txt
}

same_dirs() { # a b
  (cd "$1" && find . -type f | sort) >dir-a.txt
  (cd "$2" && find . -type f | sort) >dir-b.txt
  cmp -s dir-a.txt dir-b.txt || return 1
  while read -r f; do cmp -s "$1/$f" "$2/$f" || return 1; done <dir-a.txt
  [ -s dir-a.txt ]
}

check() { # one check, against out.txt and err.txt
  c=$(printf '%s' "$1" | sed "s|{/}|$sep_sed|g")
  case $c in
  err=*) has_line err.txt "${c#err=}" || fail "no stderr line '${c#err=}'" ;;
  err~*) holds_text err.txt "${c#err~}" || fail "stderr lacks '${c#err~}'" ;;
  out=*) has_line out.txt "${c#out=}" || fail "no stdout line '${c#out=}'" ;;
  out~*) holds_text out.txt "${c#out~}" || fail "stdout lacks '${c#out~}'" ;;
  errlines=*) n=$(lines err.txt | wc -l); [ "$n" -eq "${c#errlines=}" ] || fail "$n stderr lines" ;;
  outlines=*) n=$(lines out.txt | wc -l); [ "$n" -eq "${c#outlines=}" ] || fail "$n stdout lines" ;;
  file=*) [ -f "${c#file=}" ] || fail "no file ${c#file=}" ;;
  nofile=*) [ ! -e "${c#nofile=}" ] || fail "${c#nofile=} exists" ;;
  same=*) v=${c#same=}; cmp -s "${v%%,*}" "${v#*,}" || fail "${v%%,*} and ${v#*,} differ" ;;
  differ=*) v=${c#differ=}; [ -f "${v%%,*}" ] && [ -f "${v#*,}" ] && ! cmp -s "${v%%,*}" "${v#*,}" ||
    fail "${v%%,*} and ${v#*,} are not two different files" ;;
  samedir=*) v=${c#samedir=}; same_dirs "${v%%,*}" "${v#*,}" || fail "folders ${v%%,*} and ${v#*,} differ" ;;
  jpeg=*) [ "$(od -An -tx1 -N2 "${c#jpeg=}" | tr -d ' ')" = "ffd8" ] || fail "${c#jpeg=} is no JPEG" ;;
  noerr~*) ! holds_text err.txt "${c#noerr~}" || fail "stderr holds '${c#noerr~}'" ;;
  each=*) v=${c#each=}; files_hold "${v%%,*}" "${v#*,}" || fail "a file in ${v%%,*} differs from ${v#*,}" ;;
  within=*) v=${c#within=}; files_within "${v%%,*}" "${v#*,}" || fail "a file in ${v%%,*} is not in ${v#*,}" ;;
  notmp=*) left=$(find "${c#notmp=}" -name '.imgthumb-*.tmp'); [ -z "$left" ] || fail "left: $left" ;;
  nobar) ! grep -q 'files/s' err.txt || fail "a progress bar on a stderr that is no terminal" ;;
  env=* | stop=* | stopafter=*) ;;
  *) fail "unknown check '$c'" ;;
  esac
}

if [ "$sep" = "\\" ]; then sep_sed='\\'; else sep_sed=$sep; fi

# Seconds since the epoch, to the millisecond.
now() {
  date +%s.%N | cut -c1-14
}

# Seconds from $1 to now.
since() {
  awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'
}

# The run of a stop=SIG@GLOB row: in the background, stopped by SIG once a
# file matches GLOB. SIGINT and SIGTERM are reset to their defaults, as an
# interactive shell starts a program (a background job of this script would
# start with SIGINT ignored, which the program keeps). With -SIG the run is
# a process group of its own, and the whole group gets the signal.
run_stopped() { # stop, lines, then the command line
  sig=${1%%@*} glob=${1#*@} after=$2
  shift 2
  group=""
  case $sig in -*) group=setsid sig=${sig#-} ;; esac
  # shellcheck disable=SC2086 # env_set and runner are words or nothing
  $group env --default-signal=INT,TERM $env_set $runner "$prog" "$@" >out.txt 2>err.txt </dev/null &
  pid=$!
  tenths=0
  # shellcheck disable=SC2086 # the glob is meant to expand
  until { ls $glob && [ "$(lines out.txt | wc -l)" -ge "$after" ]; } >/dev/null 2>&1 ||
    [ $tenths -ge $STOP_WAIT_TENTHS ] || ! kill -0 $pid 2>/dev/null; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  if ! kill -0 $pid 2>/dev/null; then
    fail "ended before $glob appeared"
  elif [ $tenths -ge $STOP_WAIT_TENTHS ]; then
    fail "$glob never appeared"
  fi
  # setsid starts the program in place (this script's job leads no group),
  # so the program's id is its group's.
  target=$pid
  [ -n "$group" ] && target=-$pid
  sent=$(now)
  kill -s "$sig" -- $target 2>/dev/null
  while kill -0 $pid 2>/dev/null; do
    if awk -v t="$(since "$sent")" -v l="$STOP_LIMIT" 'BEGIN { exit !(t > l) }'; then
      fail "still running $STOP_LIMIT s after SIG$sig"
      kill -s KILL -- $target 2>/dev/null
      break
    fi
    sleep 0.05
  done
  wait $pid
  got=$?
  echo "  $name: ended $(since "$sent") s after SIG$sig"
}

run_row() {
  eval "set -- $1"
  name=$1 want=$2 args=$3
  shift 3
  cases=$((cases + 1))
  env_set=""
  stop=""
  after=0
  for c in "$@"; do
    case $c in
    env=*) env_set=${c#env=} ;;
    stop=*) stop=${c#stop=} ;;
    stopafter=*) after=${c#stopafter=} ;;
    esac
  done
  eval "set -- $args"
  if [ -n "$stop" ]; then
    run_stopped "$stop" "$after" "$@"
  elif [ -n "$env_set" ]; then
    env "$env_set" $runner "$prog" "$@" >out.txt 2>err.txt </dev/null
    got=$?
  else
    $runner "$prog" "$@" >out.txt 2>err.txt </dev/null
    got=$?
  fi
  [ "$got" -eq "$want" ] || fail "exit status $got, expected $want"
}

table() {
  while IFS= read -r row; do
    case $row in '' | '#'*) continue ;; esac
    run_row "$row"
    eval "set -- $row"
    shift 3
    for c in "$@"; do check "$c"; done
    if [ "$failures_before" -ne "$failures" ]; then
      echo "  row: $row"
      echo "  stdout:"; lines out.txt | sed 's/^/    /'
      echo "  stderr:"; lines err.txt | sed 's/^/    /'
    fi
    failures_before=$failures
  done
}
failures_before=0

table <<'ROWS'
# ---- Usage errors: status 2, one line that says what and points to --help
usage_nothing      2 ''                         'errlines=1' "err=imgthumb: no operation given (see 'imgthumb --help')"
usage_operation    2 'shrink 64 a.png'          'errlines=1' "err~unknown operation 'shrink'"
usage_no_input     2 'square 64'                'errlines=1' "err=imgthumb: no INPUT given (see 'imgthumb --help')"
usage_size_zero    2 'square 0 a.png'           'errlines=1' "err~SIZE must be 1..4096, not '0'"
usage_size_big     2 'square 4097 a.png'        'errlines=1' "err~SIZE must be 1..4096, not '4097'"
usage_size_word    2 'square big a.png'         'errlines=1' "err~not 'big'"
usage_ratio        2 'aspect 64 5:4 a.png'      'errlines=1' "err~RATIO must be 1:1, 4:3, 16:9 or 3:2, not '5:4'"
usage_smart        2 'smart 64 a.png'           'errlines=1' "err~WIDTHxHEIGHT must be"
usage_jobs         2 'square 64 -j 0 a.png'     'errlines=1' "err~-j wants a number of processes"
usage_option       2 'square 64 --fast a.png'   'errlines=1' "err=imgthumb: unknown option '--fast' (see 'imgthumb --help')"
usage_value        2 'square 64 a.png -o'       'errlines=1' "err~option -o needs a value"
usage_batch        2 'batch 64 mix'             'errlines=1' "err~batch needs SIZE INPUT_DIR OUTPUT_DIR"
usage_box_missing  2 'fit'                      'errlines=1' "err=imgthumb: fit needs WIDTHxHEIGHT (see 'imgthumb --help')"
usage_box_one_size 2 'cover 64 a.png'           'errlines=1' "err~WIDTHxHEIGHT must be two sizes 1..4096 like 200x120, not '64'"
usage_box_zero     2 'pad 0x64 a.png'           'errlines=1' "err~not '0x64'"
usage_quality_zero 2 'fit 64x48 --quality 0 a.png' 'errlines=1' "err=imgthumb: --quality wants a JPEG quality from 1 to 100, not '0' (see 'imgthumb --help')"
usage_quality_big  2 'square 64 --quality=101 a.png' 'errlines=1' "err~--quality wants a JPEG quality from 1 to 100, not '101'"
usage_quality_word 2 'cover 64x48 --quality x a.png' 'errlines=1' "err~not 'x'"
usage_quality_none 2 'fit 64x48 a.png --quality' 'errlines=1' "err~option --quality needs a value"
usage_colour_name  2 'pad 64x48 --background red a.png' 'errlines=1' "err=imgthumb: --background wants a colour #RRGGBB or #RRGGBBAA, not 'red' (see 'imgthumb --help')"
usage_colour_5     2 'pad 64x48 --background=#12345 a.png' 'errlines=1' "err~not '#12345'"
usage_colour_7     2 'pad 64x48 --background "#1234567" a.png' 'errlines=1' "err~not '#1234567'"
usage_colour_hash  2 'pad 64x48 --background 123456 a.png' 'errlines=1' "err~not '123456'"
usage_colour_digit 2 'pad 64x48 --background=#12345G a.png' 'errlines=1' "err~not '#12345G'"
usage_colour_none  2 'pad 64x48 a.png --background' 'errlines=1' "err~option --background needs a colour (quote the '#')"
usage_colour_not_pad 2 'fit 64x48 --background=#123456 a.png' 'errlines=1' "err~--background is for pad only, not fit"
usage_smart_upscale 2 'smart 64x48 --no-upscale a.png' 'errlines=1' "err~--no-upscale is not for smart"
usage_batch_rotate 2 'batch 64 mix bout --no-rotate' 'errlines=1' "err~batch takes no options" 'nofile=bout'
usage_batch_upscale 2 'batch 64 --no-upscale mix bout' 'errlines=1' "err~batch takes no options"
usage_batch_quality 2 'batch 64 mix bout --quality 80' 'errlines=1' "err~batch takes no options"
usage_option_value 2 'fit 64x48 --no-rotate=1 a.png' 'errlines=1' "err~unknown option '--no-rotate=1'"
help               0 '--help'                   'errlines=0' 'out~imgthumb square SIZE [OPTIONS] INPUT...' 'out~--no-clobber' 'out~-j N' 'out~imgthumb aspect 320 16:9' 'out~imgthumb smart 200x120' 'out~imgthumb batch 128' 'out~130 stopped by SIGINT (Ctrl-C), 143 stopped by SIGTERM' 'out~imgthumb cover WIDTHxHEIGHT [OPTIONS] INPUT...' 'out~imgthumb fit WIDTHxHEIGHT [OPTIONS] INPUT...' 'out~imgthumb pad WIDTHxHEIGHT [OPTIONS] INPUT...' 'out~--no-rotate' 'out~--no-upscale' 'out~--quality N' 'out~--background COLOR'
help_short         0 '-h'                       'errlines=0' 'out~imgthumb square SIZE [OPTIONS] INPUT...' 'out~-h, --help'
help_anywhere      0 'square 64 -o hout --help nothere.png' 'errlines=0' 'out~imgthumb square SIZE [OPTIONS] INPUT...' 'nofile=hout'
help_short_anywhere 0 'square 64 -o hout -h nothere.png' 'errlines=0' 'out~imgthumb square SIZE [OPTIONS] INPUT...' 'nofile=hout'
help_short_grouped 0 'batch 64 -qh'             'errlines=0' 'out~imgthumb batch SIZE INPUT_DIR OUTPUT_DIR'

# ---- A folder of six images, an undecodable one, hidden names and non-images
mixed_folder       1 'square 24 -o out mix'     'errlines=2' "err=mix{/}broken.jpg: cannot decode 'mix{/}broken.jpg': unknown image type" 'err~imgthumb: 6 written, 1 failed, 0 skipped in ' 'outlines=0' 'nobar' 'file=out/balloon.png' 'file=out/panorama.png' 'file=out/portrait.bmp' 'file=out/sticker.tga' 'file=out/palette.png' 'file=out/grey.png' 'nofile=out/broken.png' 'nofile=out/notes.png' 'nofile=out/.hidden.png' 'nofile=out/README.png' 'nofile=out/sub'
recursive          1 'smart 24x16 -r -o rout mix' 'err~7 written, 1 failed' 'file=rout/sub/deep.png' 'nofile=rout/sub/.dot' 'nofile=rout/.hidden.png'
quiet              1 'square 24 -q -o qout mix' 'errlines=1' 'err~imgthumb: 6 written, 1 failed, 0 skipped'
verbose            1 'square 24 -v -o vout mix' 'outlines=6' "out=mix{/}balloon.png -> vout{/}balloon.png" 'errlines=2'
a_file_is_taken    0 'aspect 40 16:9 -o fout mix/README mix/grey.jpg' 'errlines=1' 'err~2 written, 0 failed' 'file=fout/README.png' 'file=fout/grey.png'
missing_file       1 'square 24 -o mout nothere.png' "err=nothere.png: cannot decode 'nothere.png': can't fopen" 'err~0 written, 1 failed'
extension          0 'square 24 -e .jpg -o eout mix/balloon.png mix/sticker.tga' 'jpeg=eout/balloon.jpg' 'jpeg=eout/sticker.jpg'

# ---- Nothing lost silently
collision          1 'square 32 -o dout dune'   'errlines=3' "err=dune{/}Dune.jpg: output 'dout{/}Dune.png' is already the output of 'dune{/}Dune.jpeg'" "err=dune{/}Dune.png: output 'dout{/}Dune.png' is already the output of 'dune{/}Dune.jpeg'" 'err~1 written, 2 failed'
collision_winner   0 'square 32 -o dref dune/Dune.jpeg' 'same=dout/Dune.png,dref/Dune.png'
output_is_input    1 'square 32 same/a.png -o same' "err=same/a.png: output 'same{/}a.png' is the same file as the input 'same/a.png'; not written" 'same=same/a.png,mix/balloon.png'
spelled_otherwise  1 'square 32 -o ./same/../same same/a.png' "err~is the same file as the input 'same/a.png'; not written" 'same=same/a.png,mix/balloon.png'
output_is_other_input 1 'square 32 -o other other/b.jpg other/b.png' "err~other/b.jpg: output 'other{/}b.png' is the same file as the input 'other/b.png'" 'same=other/b.png,mix/balloon.png'
no_clobber         0 'square 24 --no-clobber -o nc mix/balloon.png mix/grey.jpg' 'err~1 written, 0 failed, 1 skipped' 'same=nc/balloon.png,nc/keep.txt' 'file=nc/grey.png'
clobber            0 'square 24 -o nc mix/balloon.png' 'err~1 written, 0 failed, 0 skipped' 'same=nc/balloon.png,out/balloon.png'
output_in_input_1  0 'square 24 -r -o nest/thumbs nest' 'err~2 written, 0 failed'
output_in_input_2  0 'square 24 -r -o nest/thumbs nest' 'err~2 written, 0 failed' 'nofile=nest/thumbs/thumbs'

# ---- The libraries' thumbnails: upright by default, as stored with --no-rotate
# (An untagged image: square, aspect and smart write the seven functions' bytes.)
untagged_square    0 'square 24 -o utag mix/balloon.png' 'same=utag/balloon.png,ref/balloon.square.png'
upright_square     0 'square 64 -o up exif/phone.jpg' 'same=up/phone.png,ref/phone.square.png' 'differ=up/phone.png,ref/phone.square.still.png'
stored_square      0 'square 64 --no-rotate -o still exif/phone.jpg' 'same=still/phone.png,ref/phone.square.still.png'
upright_aspect     0 'aspect 80 16:9 -o up exif/phone.jpg' 'same=up/phone.png,ref/phone.aspect.png' 'differ=up/phone.png,ref/phone.aspect.still.png'
stored_aspect      0 'aspect 80 16:9 -o still exif/phone.jpg --no-rotate' 'same=still/phone.png,ref/phone.aspect.still.png'
upright_smart      0 'smart 48x40 -o up exif/phone.jpg' 'same=up/phone.png,ref/phone.smart.png' 'differ=up/phone.png,ref/phone.smart.still.png'
stored_smart       0 'smart 48X40 --no-rotate -o still exif/phone.jpg' 'same=still/phone.png,ref/phone.smart.still.png'
upright_cover      0 'cover 60x40 -o up exif/phone.jpg' 'same=up/phone.png,ref/phone.cover.png' 'differ=up/phone.png,ref/phone.cover.still.png'
stored_cover       0 'cover 60x40 --no-rotate -o still exif/phone.jpg' 'same=still/phone.png,ref/phone.cover.still.png'
upright_fit        0 'fit 90x90 -o up exif/phone.jpg' 'same=up/phone.png,ref/phone.fit.png' 'differ=up/phone.png,ref/phone.fit.still.png'
stored_fit         0 'fit 90x90 --no-rotate -o still exif/phone.jpg' 'same=still/phone.png,ref/phone.fit.still.png'
upright_folder     0 'fit 30x30 -v -o upf exif' 'outlines=3' 'same=upf/card.png,ref/card.fit.png' 'same=upf/late.png,ref/late.fit.png' 'differ=upf/card.png,ref/card.fit.still.png'
pad_transparent    0 'pad 90x90 -o pad exif/phone.jpg' 'same=pad/phone.png,ref/phone.pad.png'
pad_opaque         0 'pad 90x90 --background "#2060A0" -o pad/blue exif/phone.jpg' 'same=pad/blue/phone.png,ref/phone.pad.blue.png'
pad_translucent    0 'pad 90x90 --background=#ff800040 -e tga -o pad exif/phone.jpg' 'same=pad/phone.tga,ref/phone.pad.orange.tga'
pad_over_white     0 'pad 90x90 --background=#FF800040 -e jpg -o pad exif/phone.jpg' 'jpeg=pad/phone.jpg' 'same=pad/phone.jpg,ref/phone.pad.orange.jpg'
no_upscale_fit     0 'fit 40x40 --no-upscale -o small exif/card.png' 'same=small/card.png,ref/card.fit.small.png'
no_upscale_cover   0 'cover 40x40 --no-upscale -o small/cover exif/card.png' 'same=small/cover/card.png,ref/card.cover.small.png'
no_upscale_pad     0 'pad 40x40 --no-upscale --background=#000000 -o small/pad exif/card.png' 'same=small/pad/card.png,ref/card.pad.small.png'
quality            0 'cover 60x40 --quality 35 -e jpg -o q exif/phone.jpg' 'same=q/phone.jpg,ref/phone.cover.q35.jpg' 'differ=q/phone.jpg,ref/phone.cover.q90.jpg'
quality_default    0 'cover 60x40 -e jpg -o q90 exif/phone.jpg' 'same=q90/phone.jpg,ref/phone.cover.q90.jpg'
every_option       0 'aspect 40 4:3 --no-rotate --no-upscale --quality=50 -e jpg -o all exif/card.png' 'same=all/card.jpg,ref/card.aspect.all.jpg'

# ---- Workers: -j 4 writes what -j 1 writes; a worker that dies costs only its file
jobs_one           1 'smart 40x30 -r -j 1 -o j1 mix dune' 'err~8 written, 3 failed' 'same=j1/panorama.png,ref/panorama.smart.png'
jobs_four          1 'smart 40x30 -r -j 4 -o j4 mix dune' 'err~8 written, 3 failed' 'samedir=j1,j4'
jobs_options_one   1 'pad 50x40 --background=#102030 -r -j 1 -o pj1 mix exif' 'err~10 written, 1 failed' 'same=pj1/phone.png,ref/phone.pad.jobs.png'
jobs_options_four  1 'pad 50x40 --background=#102030 -r -j 4 -o pj4 mix exif' 'err~10 written, 1 failed' 'samedir=pj1,pj4'
# (The hook's worker dies mid-write: it leaves a temporary file beside the
# output, which the parent must remove, as the library's own would be left.)
killed_worker      1 'square 24 -j 2 -o kill mix' 'env=IMGTHUMB_TEST_WORKER_DIES_ON=panorama' 'err~mix{/}panorama.jpg: worker process died while making this thumbnail (' 'err~5 written, 2 failed' 'file=kill/balloon.png' 'file=kill/grey.png' 'file=kill/palette.png' 'file=kill/portrait.bmp' 'file=kill/sticker.tga' 'nofile=kill/panorama.png' 'notmp=kill' 'within=kill,out'
killed_worker_j1   1 'square 24 -j 1 -o kill1 mix' 'env=IMGTHUMB_TEST_WORKER_DIES_ON=balloon' 'err~mix{/}balloon.png: worker process died' 'err~5 written, 2 failed' 'nofile=kill1/balloon.png' 'file=kill1/sticker.tga' 'notmp=kill1'
killed_in_subfolder 1 'square 24 -r -j 1 -o ksub mix' 'env=IMGTHUMB_TEST_WORKER_DIES_ON=deep' 'err~mix{/}sub{/}deep.jpg: worker process died' 'err~6 written, 2 failed' 'nofile=ksub/sub/deep.png' 'file=ksub/grey.png' 'notmp=ksub'
killed_here        1 'square 24 -j 1 mix/balloon.png mix/grey.jpg' 'env=IMGTHUMB_TEST_WORKER_DIES_ON=balloon' 'err~mix/balloon.png: worker process died' 'err~1 written, 1 failed' 'file=grey.png' 'notmp=.'

# ---- Stopped: status 130 or 143, the summary says so; whole outputs stay, nothing else
# (The stalling hook's worker leaves a temporary file and waits for ever, as
# in a very long write, so each run is stopped with a file in the making.
# On Windows every output is written through such a file, so a run of one
# worker is stopped once the files before have been reported.)
stop_int           130 'square 24 -j 1 -v -o sint mix' 'env=IMGTHUMB_TEST_WORKER_STALLS_ON=sticker' 'stop=INT@sint/.imgthumb-*.tmp' 'stopafter=5' 'err~imgthumb: stopped: 5 written, 1 failed, 0 skipped, 1 left in ' 'errlines=2' 'outlines=5' 'nofile=sint/sticker.tga' 'notmp=sint' 'within=sint,out'
stop_terminal      130 'square 24 -j 2 -o sgroup mix' 'env=IMGTHUMB_TEST_WORKER_STALLS_ON=panorama' 'stop=-INT@sgroup/.imgthumb-*.tmp' 'err~imgthumb: stopped: ' 'noerr~worker process died' 'nofile=sgroup/panorama.png' 'notmp=sgroup' 'within=sgroup,out'

# ---- Names beyond ASCII (on Windows through the UTF-8 code page)
unicode_folder     0 'square 24 -o uout uni'   'err~2 written, 0 failed' 'file=uout/名前.png' 'file=uout/café.png'
unicode_file       0 'square 24 -o uout2 uni/名前.png' 'file=uout2/名前.png' 'same=uout/名前.png,uout2/名前.png'

# ---- The library's own batch
batch              0 'batch 24 mix bout'        'errlines=0' 'file=bout/balloon.png' 'file=bout/grey.png'
batch_fails        1 'batch 24 nothere bout2'   "err=nothere: batch: cannot open directory 'nothere'"
ROWS

# Letter case: Windows file names ignore it, so there A.jpg and a.png give
# one thumbnail name and SAME\a.png is same/a.png; POSIX names do not.
mkdir -p case
cp mix/grey.jpg case/A.jpg
cp mix/balloon.png case/a.png
if [ "$sep" = "\\" ]; then
  table <<'ROWS'
case_collision     1 'square 24 -o cout case'   "err=case\\a.png: output 'cout\\a.png' is already the output of 'case\\A.jpg'" 'err~1 written, 1 failed'
case_same_file     1 'square 32 -o SAME same/a.png' "err~is the same file as the input 'same/a.png'; not written" 'same=same/a.png,mix/balloon.png'
ROWS
else
  table <<'ROWS'
case_distinct      0 'square 24 -o cout case'   'err~2 written, 0 failed' 'file=cout/A.png' 'file=cout/a.png'
ROWS
fi

# Many large files, stopped wherever the workers are: each output there is
# whole, and nothing else is left. (BMP outputs are written as they are
# encoded, 3 MiB each: a long window.)
$runner "$prog" square 1536 -q -o big mix/balloon.png >/dev/null 2>&1
mkdir -p many
i=0
while [ $i -lt 40 ]; do
  cp big/balloon.png "many/b$i.png"
  i=$((i + 1))
done
table <<'ROWS'
many_reference     0 'square 1024 -e bmp -o many-ref many/b0.png'
stop_mid_write     130 'square 1024 -e bmp -j 2 -o many-out many' 'stop=INT@many-out/*.bmp' 'err~imgthumb: stopped: ' 'noerr~, 0 left in' 'notmp=many-out' 'each=many-out,many-ref/b0.bmp'
ROWS
# SIGTERM: Windows has no such signal to catch (wine ends a program on it).
if [ "$sep" = "/" ]; then
  table <<'ROWS'
stop_term          143 'square 24 -j 2 -o sterm mix' 'env=IMGTHUMB_TEST_WORKER_STALLS_ON=panorama' 'stop=TERM@sterm/.imgthumb-*.tmp' 'err~imgthumb: stopped: ' 'noerr~worker process died' 'nofile=sterm/panorama.png' 'notmp=sterm' 'within=sterm,out'
stop_term_mid_write 143 'square 1024 -e bmp -j 2 -o many-term many' 'stop=TERM@many-term/*.bmp' 'err~imgthumb: stopped: ' 'noerr~, 0 left in' 'notmp=many-term' 'each=many-term,many-ref/b0.bmp'
ROWS
fi

# The version names the program and the library.
table <<ROWS
version            0 '--version'                'out=imgthumb $version' 'out=quintaro-imgthumbnail $version' 'out=quintaro-imgthumbnail-ex $version'
ROWS

echo "$cases command lines, $failures failed checks"
[ "$failures" -eq 0 ]
