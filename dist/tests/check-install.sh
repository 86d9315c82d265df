#!/usr/bin/env bash
# check-install.sh BUILD_DIR VERSION APP_ID SCREENSHOTS_DIR
# Installs the build under /usr and under /opt/korva into temporary roots and runs the installed
# program from there; validates the menu entry, the software-centre file, the icons and the manual;
# builds the Debian package and has lintian judge it. Nothing touches the real home or the system.
set -euo pipefail
build=$1 version=$2 id=$3 screenshots=$4

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/config XDG_DATA_HOME=$tmp/home/data
export XDG_CACHE_HOME=$tmp/home/cache XDG_RUNTIME_DIR=$tmp/home/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# The words starting with "--" in a text, one per line, sorted.
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }

install_into() { # ROOT PREFIX
  DESTDIR=$1 cmake --install "$build" --prefix "$2" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
}

check_program() { # PROGRAM
  local program=$1 out
  out=$("$program" --version) || fail "--version exits $?"
  [[ $out == "korva-lectern $version Build "* ]] || fail "--version says '$out', the build is $version"
  out=$("$program" --list-cameras --demo) || fail "--list-cameras --demo exits $?"
  [[ -n $out ]] || fail "--list-cameras --demo lists nothing"
  out=$("$program" --snapshot --demo) || fail "--snapshot --demo exits $?"
  [[ $out == "$HOME"/* && -s $out ]] || fail "--snapshot --demo gave '$out', not a photo in the test home"
}

echo "== prefix /usr"
install_into "$tmp/usr" /usr
usr=$tmp/usr/usr
check_program "$usr/bin/korva-lectern"
entry=$usr/share/applications/$id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -qx 'Exec=korva-lectern %u' "$entry" || fail "menu entry: $(grep ^Exec= "$entry")"
grep -qx 'MimeType=x-scheme-handler/en-orb;' "$entry" || fail "menu entry does not take the en-orb scheme"
metainfo=$usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
newest=$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[[ $newest == "$version" ]] || fail "the newest release in $(basename "$metainfo") is $newest, the build is $version"
for shot in $(grep -o '<image>[^<]*' "$metainfo" | sed 's#.*/##'); do
  [[ -s $screenshots/$shot ]] || fail "the screenshot $shot named in $(basename "$metainfo") is not in $screenshots"
done
[[ -s $usr/share/icons/hicolor/scalable/apps/$id.svg ]] || fail "no scalable icon"
for size in 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x$size/apps/$id.png
  [[ -s $png && $(png_size "$png") == "${size}x$size" ]] || fail "icon $png is not ${size}x$size"
done
[[ -s $usr/lib/udev/rules.d/70-korva-lectern.rules ]] || fail "no udev rule in /usr/lib/udev/rules.d"
man=$usr/share/man/man1/korva-lectern.1.gz
zcat "$man" | sed 's/\\-/-/g' | options >"$tmp/man-options"
"$usr/bin/korva-lectern" --help | options >"$tmp/help-options"
diff -u --label --help "$tmp/help-options" --label manual "$tmp/man-options" || fail "--help and the manual name different options"
grep -q 'Exit status' <("$usr/bin/korva-lectern" --help) || fail "--help does not give the exit status"

echo "== prefix /opt/korva"
install_into "$tmp/opt" /opt/korva
check_program "$tmp/opt/opt/korva/bin/korva-lectern"
entry=$tmp/opt/opt/korva/share/applications/$id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate (/opt/korva)"
grep -qx 'Exec="/opt/korva/bin/korva-lectern" %u' "$entry" || fail "menu entry under /opt/korva: $(grep ^Exec= "$entry")"

echo "== Debian package"
cpack --config "$build/CPackConfig.cmake" -B "$tmp/deb" >"$tmp/cpack.log" || { cat "$tmp/cpack.log"; exit 1; }
debs=("$tmp"/deb/korva-lectern_"$version"_*.deb)
deb=${debs[0]}
[[ -f $deb ]] || { echo "FAIL: cpack made no korva-lectern_${version}_*.deb" >&2; exit 1; }
dpkg-deb -I "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6core6* && $depends == *libc6* ]] || fail "Depends lacks the linked libraries: $depends"
dpkg-deb -c "$deb" | awk '{print $6}' >"$tmp/contents"
for path in ./usr/bin/korva-lectern ./usr/share/applications/$id.desktop ./usr/lib/udev/rules.d/70-korva-lectern.rules \
  ./usr/share/metainfo/$id.metainfo.xml ./usr/share/man/man1/korva-lectern.1.gz ./usr/share/doc/korva-lectern/copyright; do
  grep -qx -- "$path" "$tmp/contents" || fail "the package lacks $path"
done
dpkg-deb -x "$deb" "$tmp/unpacked"
check_program "$tmp/unpacked/usr/bin/korva-lectern"
# Errors fail the test; warnings are shown for a person to judge.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --tag-display-limit 0 "$deb" | tee "$tmp/lintian" || true
if grep -q '^E:' "$tmp/lintian"; then fail "lintian reports errors"; fi

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all install checks passed"
