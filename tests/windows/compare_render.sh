#!/usr/bin/env bash
# The same clip through a plug-in's Linux build (natively) and its Windows build (under
# Wine), compared within a tolerance.
# compare_render.sh <native render_clip> <plug-in.so> <wine runner> <render_clip.exe>
#                   <plug-in.dll> <tolerance> <work dir>
set -euo pipefail
native=$1 so=$2 wine=$3 exe=$4 dll=$5 tolerance=$6 work=$7
mkdir -p "$work"
name=$(basename "$dll" .dll)
"$native" clip "$work/clip.f32"
"$native" render "$so" "$work/clip.f32" "$work/$name.linux.f32"
# Wine maps / to drive Z:, so Linux paths work unchanged.
"$wine" "$exe" render "$dll" "$work/clip.f32" "$work/$name.windows.f32"
"$native" compare "$work/$name.linux.f32" "$work/$name.windows.f32" "$tolerance"
