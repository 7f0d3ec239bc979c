#!/bin/sh
# Renders the drawings in Image/src into the PNG and ICO files the program bundles.
# The rendered files are committed, so a build never needs this script or its tools.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert (imagemagick).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
src="$here/Image/src"
out="$here/Image"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "render-images.sh: $tool not found" >&2; exit 1; }
done

# png NAME WIDTH HEIGHT [SOURCE]: render SOURCE (default Image/src/NAME.svg) to Image/NAME.png.
png() {
    rsvg-convert -w "$2" -h "$3" "${4:-$src/$1.svg}" -o "$out/$1.png"
}

# ico NAME LARGE SMALL: a Windows icon with every usual size; the small sizes use the simplified mark.
ico() {
    for s in 16 24; do rsvg-convert -w $s -h $s "$src/$3.svg" -o "$tmp/$1-$s.png"; done
    for s in 32 48 64 128 256; do rsvg-convert -w $s -h $s "$src/$2.svg" -o "$tmp/$1-$s.png"; done
    convert "$tmp/$1-16.png" "$tmp/$1-24.png" "$tmp/$1-32.png" "$tmp/$1-48.png" \
        "$tmp/$1-64.png" "$tmp/$1-128.png" "$tmp/$1-256.png" "$out/$1.ico"
}

png RadioUnchecked 17 17
png RadioChecked 17 17
png play 32 32
png pause 32 32
png "done" 32 32
png error 32 32
png update 32 32
png delete 25 25

png circle-e 550 560
png rectangle-e 550 560
png u-e 550 560

# hicolor SIZE SOURCE: the desktop's application icon at one size, named after the program.
hicolor() {
    rsvg-convert -w "$1" -h "$1" "$src/$2.svg" -o "$here/icons/$1.png"
}

png logo 64 64
ico app logo logo-small
mkdir -p "$here/icons"
for s in 16 24; do hicolor $s logo-small; done
for s in 32 48 64 128 256; do hicolor $s logo; done
