#!/usr/bin/env bash
# Fills Samples/ with a few of the reader's fixtures under sample names, with lower and upper
# case extensions, so "Load Sample/Example Folders" shows a real gallery. The fixtures are built
# from our own artwork by tests/data/make-fixtures.py (run it first when they change).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../tests/data
cp "$data/sizes.ico" "$here/shapes.ico"
cp "$data/depth-32.ico" "$here/GLOBE.ICO"
cp "$data/shapes.icl" "$here/SHAPES16.ICL"
cp "$data/icons32.dll" "$here/icons32.dll"
cp "$data/many.dll" "$here/Library.DLL"
cp "$data/tool.exe" "$here/TOOL.EXE"
