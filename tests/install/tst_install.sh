#!/bin/sh
# tst_install.sh CMAKE BUILD_DIR DESTDIR VERSION PACKAGING_SRC
set -eu
cmake=$1 build=$2 dest=$3 version=$4 packaging=$5
id=io.github.radarflow.RadarFlow
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$dest"
DESTDIR="$dest" "$cmake" --install "$build" --prefix /usr >/dev/null
u=$dest/usr
for f in bin/radarflow bin/radarflow-sim share/radarflow/translations/ZelEnglish.qm \
    share/man/man1/radarflow.1.gz share/man/man1/radarflow-sim.1.gz \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg \
    share/doc/radarflow/copyright share/doc/radarflow/changelog.gz \
    share/doc/radarflow-sim/copyright share/doc/radarflow-sim/changelog.gz; do
    [ -s "$u/$f" ] || fail "$f not installed"
done
[ -x "$u/bin/radarflow" ] && [ -x "$u/bin/radarflow-sim" ] || fail "programs not executable"
[ -s "$u/lib/systemd/system/radarflow@.service" ] || fail "systemd unit not installed"

# Each icon is as large as its folder says (width and height from the PNG header).
for s in 16 24 32 48 64 128 256; do
    png=$u/share/icons/hicolor/${s}x$s/apps/$id.png
    [ -s "$png" ] || fail "no $s px icon"
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$dims" = "${s}x$s" ] || fail "$png is $dims"
done

# Started from the menu, the data goes to the user's data folder.
grep -qx 'Exec=radarflow --user-data' "$u/share/applications/$id.desktop" || fail "desktop Exec"
grep -qx "Icon=$id" "$u/share/applications/$id.desktop" || fail "desktop Icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$u/share/applications/$id.desktop" || fail "desktop entry invalid"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$u/share/metainfo/$id.metainfo.xml" || fail "metainfo invalid"
fi

# One version everywhere: the release, the manual page, the program.
grep -q "<release version=\"$version\"" "$u/share/metainfo/$id.metainfo.xml" || fail "metainfo release"
gzip -dc "$u/share/man/man1/radarflow.1.gz" | grep -q "^\.TH .*\"radarflow $version\"" || fail "man page version"
gzip -dc "$u/share/doc/radarflow/changelog.gz" | head -1 | grep -qF "radarflow ($version)" || fail "changelog version"
mkdir -p "$dest/work" && cd "$dest/work"
out=$(timeout 10 "$u/bin/radarflow" --version 2>/dev/null) || true
[ "$out" = "radarflow $version" ] || fail "radarflow --version: '$(echo "$out" | head -1)', not 'radarflow $version'"
echo "PASS: installed tree of radarflow $version"
