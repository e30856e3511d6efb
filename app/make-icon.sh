#!/usr/bin/env bash
# Draws the application icon (a camera lens on a blue tile) with ImageMagick and writes
# Zephyrlock_Config.ico with the sizes the desktop asks for, and the same drawing as PNG
# files at the hicolor theme's sizes for the Debian package (packaging/icons). Run it
# after changing the drawing; the generated files are committed so the build needs no
# ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 256x256 xc:none \
  -fill 'rgb(42,130,218)' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill 'rgb(60,60,60)' -draw 'circle 128,136 128,52' \
  -fill white -draw 'circle 128,136 128,72' \
  -fill 'rgb(25,25,25)' -draw 'circle 128,136 128,88' \
  -fill 'rgb(42,130,218)' -draw 'circle 128,136 128,112' \
  -fill white -draw 'circle 110,118 110,108' \
  -fill white -draw 'roundrectangle 96,22 160,44 8,8' \
  "$tmp/icon.png"
for size in 16 24 32 48 64 128 256; do
  convert "$tmp/icon.png" -resize ${size}x${size} "$tmp/icon-$size.png"
done
convert "$tmp"/icon-{16,24,32,48,64,128,256}.png -depth 8 Zephyrlock_Config.ico
echo "wrote $PWD/Zephyrlock_Config.ico"

# No time stamps or comments in the PNG files, so the same drawing gives the same bytes.
icons=../packaging/icons
mkdir -p "$icons"
for size in 16 22 24 32 48 64 128 256; do
  convert "$tmp/icon.png" -resize ${size}x${size} -depth 8 -strip -define png:exclude-chunks=date,time \
    "$icons/${size}x${size}.png"
done
echo "wrote the hicolor sizes to $(cd "$icons" && pwd)"
