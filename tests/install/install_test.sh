#!/usr/bin/env bash
# The installed editor: `cmake --install` into a temporary prefix gives the expected tree, whose
# desktop entry, AppStream data, MIME package and manual pages pass their validators and whose
# bash completion completes; the installed editor, run as an unprivileged user with its bin/ not
# writable and no map beside it, opens the sample theme named on its command line and shows a
# JPEG preview in a window of the desktop entry's class; the Debian package holds the same tree
# and its changelog, and lintian finds no error or warning in it.
# Usage: install_test.sh <build folder> <installed program>...
set -euo pipefail
build=$(cd "$1" && pwd)
shift
programs=("$@")
source "$(dirname "$0")/install_common.sh"

id=org.orvalen.wqtmanager

# The tree.
expected="share/applications/$id.desktop
share/doc/orvalen-wqt-manager/copyright
share/doc/orvalen-wqt-manager/examples/Sample.wqt
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/64x64/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml
share/orvalen-wqt-manager/theme.rxt"
for program in "${programs[@]}"; do
  expected=$(printf '%s\nbin/%s\nshare/man/man1/%s.1.gz' "$expected" "$program" "$program")
done
cli_installed=false
if [[ " ${programs[*]} " == *" orvalen-wqt "* ]]; then
  cli_installed=true
  expected=$(printf '%s\nshare/bash-completion/completions/orvalen-wqt\nshare/thumbnailers/orvalen-wqt.thumbnailer' "$expected")
fi
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$(sort <<<"$expected")" ] ||
  fail "installed tree differs:"$'\n'"$(diff <(sort <<<"$expected") - <<<"$installed")"
for size in 32 64 256; do
  [ "$(identify -format %wx%h "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")" = "${size}x${size}" ] ||
    fail "icon of ${size} px has another size"
done

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
# The MIME database built from a copy (the tree must stay as installed) maps *.wqt to the type the
# desktop entry opens.
cp -r "$prefix/share/mime" "$work/mime"
update-mime-database "$work/mime" 2>/dev/null
grep -qx "50:application/x-wqt-theme:\*\.wqt" "$work/mime/globs2" ||
  fail "*.wqt is not the theme type"
grep -qx "application/x-wqt-theme:package-x-generic" "$work/mime/generic-icons" ||
  fail "the theme type has no generic icon"
# A theme without its extension is known by the installed map's first signature, at offset 0.
signature=$(sed -n 's/^<ThemeSign [^=]*="\([^"]*\)".*/\1/p' "$prefix/share/orvalen-wqt-manager/theme.rxt")
grep -aA1 -x "\[30:application/x-wqt-theme\]" "$work/mime/magic" | grep -aqF ">0=" &&
  grep -aA1 -x "\[30:application/x-wqt-theme\]" "$work/mime/magic" | grep -aqF "$signature" ||
  fail "the MIME database has no magic for the theme's first signature \"$signature\""
grep -qx "MimeType=application/x-wqt-theme;" "$prefix/share/applications/$id.desktop" ||
  fail "the desktop entry does not open the theme type"

# Help and version need no display.
editor=$prefix/bin/orvalen-wqt-manager
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$editor" --version)" = "Orvalen WQT Manager 1.0" ] ||
  fail "--version"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$editor" --help)
grep -q -- "--map <FILE>" <<<"$help" && grep -q "THEME.wqt" <<<"$help" &&
  grep -q "Показать эту справку" <<<"$help" || fail "--help: $help"

# The manual pages render without a warning (as lintian checks them).
for page in "$prefix"/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The bash completion: commands, options, and file names by what the argument takes.
if $cli_installed; then
  mkdir "$work/completion" "$work/completion/folder"
  touch "$work/completion/"{a.wqt,b.png,m.rxt}
  complete_line() {
    (cd "$work/completion" && bash -c '
      source /usr/share/bash-completion/bash_completion
      source "$1"
      shift
      COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMP_POINT=${#COMP_LINE}
      _orvalen_wqt orvalen-wqt "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
      printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd" "' _ \
      "$prefix/share/bash-completion/completions/orvalen-wqt" "$@")
  }
  while IFS='|' read -r line wanted; do
    read -ra words <<<"$line"
    [[ $line == *" " ]] && words+=("")
    got=$(complete_line "${words[@]}")
    [ "$got" = "$wanted" ] || fail "completing \"$line\": \"$got\", wanted \"$wanted\""
  done <<'ROWS'
orvalen-wqt |catalogue check extract fit info list pack port replace set thumbnail unpack
orvalen-wqt -|--help --map --version
orvalen-wqt --map |folder m.rxt
orvalen-wqt --map m.rxt info |a.wqt folder
orvalen-wqt unpack a.wqt |folder
orvalen-wqt pack folder |a.wqt folder
orvalen-wqt replace a.wqt 3 |a.wqt b.png folder m.rxt
orvalen-wqt extract a.wqt 3 -|--help --png -o
orvalen-wqt set a.wqt --type |black white
orvalen-wqt catalogue -|--help -o
orvalen-wqt thumbnail -s 128 a.wqt |a.wqt b.png folder m.rxt
orvalen-wqt port a.wqt --to-map m.rxt --base |a.wqt folder
ROWS
fi

# The installed editor as an unprivileged user, under Xvfb: a user's home, the prefix as the only
# data folder, bin/ not writable (as root: the editor runs as nobody).
chmod 755 "$work"
chmod 555 "$prefix/bin"
home=$work/home
runtime=$work/runtime
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$home" "$runtime"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# No map beside it nor in the data folders: it finds the one installed in its own prefix.
[ ! -e "$prefix/bin/theme.rxt" ] || fail "a map beside the installed editor"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(cat "$work/display")

"${as_user[@]}" env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" DISPLAY="$display" \
  XDG_DATA_DIRS="$work/no-data" PATH=/usr/bin:/bin \
  "$editor" "$prefix/share/doc/orvalen-wqt-manager/examples/Sample.wqt" >"$work/editor.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
# The title names the theme opened.
window=$(timeout 20 xdotool search --sync --name "^Sample\.wqt .* Orvalen WQT Manager v1\.0$" | head -1)
# The desktop entry names the window's class, so a desktop ties the window to its entry.
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\(.*\)"$/\1/p')
grep -qxF "StartupWMClass=$wm_class" "$prefix/share/applications/$id.desktop" ||
  fail "the window's class \"$wm_class\" is not the desktop entry's StartupWMClass"
sleep 1
# The window's client area (757 x 474) starts below the menu bar.
import -window "$window" "$work/window.png"
menu_bar=$(($(identify -format %h "$work/window.png") - 474))
# The first node of the tree, the theme's preview picture (a JPEG).
xdotool mousemove --window "$window" 59 $((menu_bar + 32)) click 1
scratch=$home/.cache/orvalen-wqt-manager/temp
for _ in $(seq 50); do [ -s "$scratch" ] && break; sleep 0.1; done
sleep 0.5
[ -s "$scratch" ] || fail "no scratch file in the user's cache; editor said: $(cat "$work/editor.log")"
[ ! -e "$prefix/bin/temp" ] || fail "scratch file beside the editor"

# What the window shows where the picture view lies against the picture the scratch file holds,
# searched within a few pixels of that place.
import -window "$window" "$work/window.png"
convert "$scratch" "$work/picture.png"
convert "$work/window.png" -crop "136x176+266+$((menu_bar - 6))" +repage "$work/view.png"
rmse=$(compare -metric RMSE -subimage-search "$work/view.png" "$work/picture.png" null: 2>&1 |
  sed -n 's/.*(\([0-9.e-]*\)).*/\1/p' | head -1)
awk -v e="${rmse:-1}" 'BEGIN { exit !(e < 0.05) }' ||
  fail "the window does not show the JPEG preview (RMSE ${rmse:-none})"

# The Debian package holds the same tree under /usr, its changelog and lintian overrides.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/deb/*.deb)
packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort)
expected=$(printf '%s\nshare/doc/orvalen-wqt-manager/changelog.Debian.gz\nshare/lintian/overrides/orvalen-wqt-manager' "$expected")
[ "$packaged" = "$(sort <<<"$expected")" ] ||
  fail "package tree differs:"$'\n'"$(diff <(sort <<<"$expected") - <<<"$packaged")"
# lintian: no error, no warning.
lintian --fail-on error,warning --display-level ">=info" "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian:"$'\n'"$(cat "$work/lintian.log")"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q "libqt6widgets6" <<<"$depends" && grep -q "libjpeg62-turbo" <<<"$depends" ||
  fail "package dependencies: $depends"
echo "install test passed (preview RMSE $rmse; depends: $depends)"
