#!/bin/sh
# Builds the .deb as `make package` does, into a scratch folder, and checks
# what apt, a software centre and Debian's policy checker see in it.
# Usage: package.sh CPACK BUILD_DIR VERSION
set -eu
cpack=$1 build=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$work/tenfold_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

[ "$(dpkg-deb -f "$deb" Package Version Section)" = "Package: tenfold
Version: $version
Section: net" ] || fail "control: $(dpkg-deb -f "$deb" Package Version Section)"
# The platform plugin and the fonts are needed at run time but linked by nothing.
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6network6 libqt6keychain1 qt6-qpa-plugins fonts-liberation2; do
    echo "$depends" | grep -Eq "(^|, )$dep( |,|$)" || fail "Depends lacks $dep: $depends"
done
# Without it a Wayland desktop runs the window through XWayland, with a
# warning; without libsecret, loaded only when asked, there is no keyring.
[ "$(dpkg-deb -f "$deb" Recommends)" = "qt6-wayland, libsecret-1-0" ] ||
    fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

dpkg-deb --contents "$deb" | awk '$6 !~ /\/$/ { print $1, $6 }' | sort >"$work/contents"
{
    echo "-rwxr-xr-x ./usr/bin/tenfold"
    echo "-rw-r--r-- ./usr/share/applications/tenfold.desktop"
    echo "-rw-r--r-- ./usr/share/doc/tenfold/changelog.gz"
    echo "-rw-r--r-- ./usr/share/doc/tenfold/copyright"
    for size in 16 24 32 48 64 128 256; do
        echo "-rw-r--r-- ./usr/share/icons/hicolor/${size}x$size/apps/tenfold.png"
    done
    echo "-rw-r--r-- ./usr/share/man/man1/tenfold.1.gz"
    echo "-rw-r--r-- ./usr/share/metainfo/org.tenfold.tenfold.metainfo.xml"
} | sort >"$work/expected"
diff -u "$work/expected" "$work/contents" || fail "files differ from the list above"

dpkg-deb -x "$deb" "$work/root"
for size in 16 24 32 48 64 128 256; do
    file "$work/root/usr/share/icons/hicolor/${size}x$size/apps/tenfold.png" |
        grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "icon $size is not a $size px PNG with alpha"
done
entry=$work/root/usr/share/applications/tenfold.desktop
# It exits 0 on some errors and on hints: any word from it fails.
out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ] || fail "desktop entry: $out"
# The menu starts the installed program and shows the installed icon.
[ -x "$work/root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")" ] || fail "Exec names no installed program"
[ -f "$work/root/usr/share/icons/hicolor/48x48/apps/$(sed -n 's/^Icon=//p' "$entry").png" ] || fail "Icon names no installed icon"
# Also finds the desktop entry the metainfo launches.
appstreamcli validate-tree --no-net "$work/root" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstream"; }
# lintian leaves a file in its temporary folder: let that be the scratch one.
TMPDIR=$work lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian"; }
echo "package: $deb is good"
