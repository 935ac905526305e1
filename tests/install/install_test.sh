#!/usr/bin/env bash
# Installs the build as the package lays it out (--prefix /usr, into a temporary DESTDIR) and checks
# what a desktop expects to find there.
#   install_test.sh layout   BUILD_DIR SOURCE_DIR   the files, the link, the icons, a start
#   install_test.sh validate BUILD_DIR SOURCE_DIR   desktop-file-validate and appstreamcli
# Exits 77 (skipped) when a validator is not installed.
set -uo pipefail
mode=$1 build=$2 source=$3
app_id=com.vorlentis.GlimmerGatherer
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [[ $mode == validate ]]; then
  for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (desktop-file-utils, appstream)"; exit 77; }
  done
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
prefix=$stage/usr
cd "$prefix" || exit 1

if [[ $mode == validate ]]; then
  desktop-file-validate "share/applications/$app_id.desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
  # The tree check also looks for the desktop entry and the icons that the metainfo names.
  appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
  exit $((failures > 0))
fi

# Exactly these files: nothing missing, nothing stray (no tests, no placeholder files).
expected=(
  bin/glimmer-gatherer
  bin/glimmer-extract
  lib/glimmer-gatherer/glimmer-gatherer
  share/applications/$app_id.desktop
  share/metainfo/$app_id.metainfo.xml
  share/man/man1/glimmer-extract.1.gz
  share/thumbnailers/glimmer-gatherer.thumbnailer
  share/doc/glimmer-gatherer/copyright
  share/doc/glimmer-extract/copyright
)
for size in 32 48 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
# The samples as the source tree has them, less the placeholder and the script that makes them.
samples=$(cd "$source/Samples" && find . -type f ! -name .keep ! -name '*.sh' -printf '%P\n')
if [[ -n $samples ]]; then
  while read -r f; do expected+=("lib/glimmer-gatherer/Samples/$f"); done <<<"$samples"
else
  expected+=(lib/glimmer-gatherer/Samples/)
fi
[[ -f $source/res/HAND-M.CUR ]] && expected+=(lib/glimmer-gatherer/HAND-M.CUR)
actual=$(find . -mindepth 1 \( -type d -empty -printf '%P/\n' \) -o \( ! -type d -printf '%P\n' \) | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ $actual != "$wanted" ]]; then
  fail "installed files differ from the expected layout"
  diff <(echo "$wanted") <(echo "$actual") | sed 's/^/  /'
fi

# bin/ holds a relative link, so the program's own folder (where it finds Samples) is lib/glimmer-gatherer.
link=bin/glimmer-gatherer
if [[ ! -L $link ]]; then
  fail "$link is not a symbolic link"
elif [[ $(readlink "$link") == /* ]]; then
  fail "$link points to an absolute path: $(readlink "$link")"
elif [[ $(readlink -f "$link") != "$prefix/lib/glimmer-gatherer/glimmer-gatherer" ]]; then
  fail "$link resolves to $(readlink -f "$link")"
fi
[[ -x lib/glimmer-gatherer/glimmer-gatherer ]] || fail "the program is not executable"

# Each icon is the size its folder names.
png_size() { od -An -j16 -N8 -tu1 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'; }
for size in 32 48 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [[ -f $icon ]] || continue
  [[ $(head -c8 "$icon" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "$icon is not a PNG"
  got=$(png_size "$icon")
  [[ $got == "${size}x${size}" ]] || fail "$icon is $got"
done

# The entry starts the linked program and names the installed icon; the metainfo names the entry.
entry=share/applications/$app_id.desktop
grep -qx "Exec=glimmer-gatherer" "$entry" || fail "$entry does not start glimmer-gatherer"
grep -qx "Icon=$app_id" "$entry" || fail "$entry does not name the icon $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "share/metainfo/$app_id.metainfo.xml" \
  || fail "the metainfo does not launch $app_id.desktop"
grep -q "@[A-Z_]*@" "share/metainfo/$app_id.metainfo.xml" && fail "the metainfo has an unfilled @VARIABLE@"

# The tool and the thumbnailer: no widgets, the entry file file managers read, a man page that renders.
tool=bin/glimmer-extract
[[ -x $tool ]] || fail "$tool is not executable"
[[ $("$tool" --version 2>&1) == "glimmer-extract "* ]] || fail "$tool --version: $("$tool" --version 2>&1)"
readelf -d "$tool" | grep -q 'NEEDED.*Widgets' && fail "$tool links Qt Widgets"
entry=share/thumbnailers/glimmer-gatherer.thumbnailer
grep -qx '\[Thumbnailer Entry\]' "$entry" || fail "$entry has no [Thumbnailer Entry] group"
# By its path, so that it runs whatever PATH the file manager has.
grep -qx 'TryExec=/usr/bin/glimmer-extract' "$entry" || fail "$entry: TryExec"
grep -qx 'Exec=/usr/bin/glimmer-extract thumbnail -s %s %i %o' "$entry" || fail "$entry: Exec"
for type in application/x-ms-dos-executable application/x-msdownload application/vnd.microsoft.portable-executable \
            application/x-ms-ne-executable application/x-dosexec application/x-navi-animation; do
  grep -q "^MimeType=.*$type;" "$entry" || fail "$entry does not claim $type"
done
grep -q '^MimeType=.*image/' "$entry" && fail "$entry claims an image type the image thumbnailers have"
if command -v man >/dev/null; then
  page=$(MANWIDTH=80 man -l share/man/man1/glimmer-extract.1.gz 2>&1 >/dev/null)
  [[ -z $page ]] || fail "man page warnings: $page"
fi
for package in glimmer-gatherer glimmer-extract; do
  grep -q '^License: Expat' "share/doc/$package/copyright" || fail "$package's copyright file names no licence"
done
grep -q '<project_license>MIT</project_license>' "share/metainfo/$app_id.metainfo.xml" || fail "metainfo: project_license"

# The installed program starts through the link and keeps running until stopped.
home=$(mktemp -d)
XDG_CONFIG_HOME=$home QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/glimmer-gatherer" >/dev/null 2>&1
rc=$?
rm -rf "$home"
[[ $rc -eq 124 ]] || fail "the installed program ended with $rc within 3 s instead of running"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install layout OK"
