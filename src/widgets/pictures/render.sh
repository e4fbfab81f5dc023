#!/bin/sh
# Renders the pictures' SVG sources to the PNG files the program carries in its resources
# (Qt loads PNG without extra plugins). Run after changing an SVG; needs rsvg-convert
# (Debian package librsvg2-bin).
set -e
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" program.svg -o "program-$size.png"
done
for name in send maintain_list confirm back close; do
  rsvg-convert -w 32 -h 32 "$name.svg" -o "$name.png"
done
