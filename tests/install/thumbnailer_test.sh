#!/usr/bin/env bash
# The installed thumbnailer through a real thumbnail service: tumblerd on a private session bus,
# reading the installed tree's thumbnailer and MIME data, asked over D-Bus for a theme's
# thumbnail, stores a PNG of the theme's first JPG picture fitted inside 128 × 128; for a broken
# or hostile theme it stores none.
# Usage: thumbnailer_test.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/install_common.sh"
fail_log=$work/tumbler.log
tumblerd=$(ls /usr/lib/*/tumbler-1/tumblerd | head -1)
[ -x "$tumblerd" ] || fail "no tumblerd: run scripts/setup.sh"

# A private user: its own home, cache and runtime folder; the installed tree's data first.
mkdir -p "$work/home" "$work/cache" "$work/config" "$work/runtime" "$work/themes"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime XDG_DATA_DIRS=$prefix/share:/usr/share
export PATH=$prefix/bin:/usr/bin:/bin
update-mime-database "$prefix/share/mime"
unset DISPLAY WAYLAND_DISPLAY
cli=$prefix/bin/orvalen-wqt

# The sample theme with a flat red picture as its first JPG file, and that picture's
# thumbnail size: fitted inside 128 × 128, never enlarged.
sample=$prefix/share/doc/orvalen-wqt-manager/examples/Sample.wqt
IFS=$'\t' read -r entry _ _ dims _ < <("$cli" list "$sample" | awk -F'\t' '$3 == "JPG"' | head -1)
width=${dims%×*} height=${dims#*×}
convert -size "${width}x${height}" xc:'#FF0000' -quality 95 "$work/red.jpg"
"$cli" replace "$sample" "$entry" "$work/red.jpg" -o "$work/themes/red.wqt"
read -r want_w want_h < <(awk -v w="$width" -v h="$height" 'BEGIN {
  s = 128 / (w > h ? w : h); if (s > 1) s = 1
  printf "%d %d\n", int(w * s + 0.5), int(h * s + 0.5) }')

# Broken and hostile themes: cut short; the picture's bytes zeroed; the picture's header claiming
# 65500 × 65500 pixels.
head -c -1 "$work/themes/red.wqt" >"$work/themes/cut.wqt"
python3 - "$work/themes/red.wqt" "$work/red.jpg" "$work/themes" <<'PY'
import sys
theme, jpeg, folder = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), sys.argv[3]
at = theme.find(jpeg)
assert at > 0, "the picture is not in the theme as it is"
open(folder + "/zeroed.wqt", "wb").write(theme[:at] + bytes(len(jpeg)) + theme[at + len(jpeg):])
sof = jpeg.find(b"\xff\xc0")
huge = jpeg[:sof + 5] + b"\xff\xdc\xff\xdc" + jpeg[sof + 9:]
open(folder + "/huge.wqt", "wb").write(theme[:at] + huge + theme[at + len(jpeg):])
PY

# The service on a private bus; it reads thumbnailers only when it starts.
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 |
  { read -r address; read -r pid; echo "DBUS_SESSION_BUS_ADDRESS=$address bus_pid=$pid"; })"
export DBUS_SESSION_BUS_ADDRESS
pids+=("$bus_pid")
"$tumblerd" >"$work/tumbler.log" 2>&1 &
pids+=($!)

md5_of() { printf '%s' "$1" | md5sum | cut -d' ' -f1; }
request() {
  python3 "$here/thumbnail_request.py" "file://$work/themes/$1" application/x-wqt-theme normal
}

# The red theme: a thumbnail of the picture's size, red all over.
uri=file://$work/themes/red.wqt
answer=$(request red.wqt) || fail "red.wqt: $answer"
stored=$XDG_CACHE_HOME/thumbnails/normal/$(md5_of "$uri").png
[ -s "$stored" ] || fail "no thumbnail stored for $uri"
[ "$(identify -format '%w %h' "$stored")" = "$want_w $want_h" ] ||
  fail "thumbnail is $(identify -format '%wx%h' "$stored"), wanted ${want_w}x${want_h}"
range=$(convert "$stored" -alpha off -format \
  '%[fx:int(255*minima.r)] %[fx:int(255*maxima.g)] %[fx:int(255*maxima.b)]' info:)
read -r min_r max_g max_b <<<"$range"
[ "$min_r" -ge 240 ] && [ "$max_g" -le 15 ] && [ "$max_b" -le 15 ] ||
  fail "thumbnail is not red all over (min red, max green, max blue: $range)"

# Broken and hostile themes: an error, nothing stored, and quickly.
for name in cut zeroed huge; do
  start=$SECONDS
  if answer=$(request "$name.wqt"); then fail "$name.wqt gave a thumbnail"; fi
  [ $((SECONDS - start)) -le 5 ] || fail "$name.wqt took $((SECONDS - start)) s"
  [[ $answer == error:* && $answer != "error: no answer in time" ]] || fail "$name.wqt: $answer"
  echo "$name.wqt: $answer"
  [ ! -e "$XDG_CACHE_HOME/thumbnails/normal/$(md5_of "file://$work/themes/$name.wqt").png" ] ||
    fail "$name.wqt left a thumbnail"
done
echo "thumbnailer test passed (${want_w}x${want_h}, channel range $range)"
