#!/usr/bin/env bash
# Sets everything up, builds the suite, shows every plug-in's identity, renders a demo clip
# through every factory program of every plug-in into out/demo, and takes a screenshot of
# every editor into out/screenshots (the Windows DLLs' editors, under Wine, into
# out/screenshots/windows). The Windows DLLs are left in build-windows/plugins.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine runs the Windows screenshot tool.
bash scripts/setup.sh wine wine64
bash scripts/build.sh
bash scripts/build_windows.sh
mkdir -p out
for plugin in build/plugins/*.so; do
  build/bin/qxhost info "$plugin"
  echo
done
build/bin/qxhost demo --plugins build/plugins --out out/demo
if [ -x build/bin/qxshot ]; then
  mkdir -p out/screenshots
  for plugin in build/plugins/*.so; do
    name=$(basename "$plugin" .so)
    build/bin/qxshot "$plugin" "out/screenshots/$name.png" || echo "$name: no editor to show"
  done
fi
if [ -x build-windows/bin/qxshot.exe ]; then
  source scripts/private_display.sh
  start_private_display
  mkdir -p out/screenshots/windows
  for plugin in build-windows/plugins/*.dll; do
    name=$(basename "$plugin" .dll)
    bash scripts/wine_run.sh build-windows/bin/qxshot.exe "$plugin" \
      "out/screenshots/windows/$name.png" || echo "$name: no Windows editor to show"
  done
fi
echo "Rendered audio and pictures: out/demo   Editor screenshots: out/screenshots"
echo "Windows plug-ins: build-windows/plugins"
