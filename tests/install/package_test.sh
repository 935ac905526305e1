#!/usr/bin/env bash
# Builds the two Debian packages from the build folder with CPack and checks them:
#   - glimmer-extract holds the tool, its man page, the thumbnailer entry and its copyright file;
#     glimmer-gatherer holds the rest of what `cmake --install` lays out; no file is in both;
#   - glimmer-gatherer depends on glimmer-extract of the same version;
#   - glimmer-extract depends on exactly the packages of the libraries its binary links or names for
#     opening later, on no Qt package, and never on glimmer-gatherer.
# Usage: package_test.sh BUILD_DIR. Exits 77 (skipped) when cpack, dpkg-deb or dpkg-shlibdeps is missing.
set -uo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (cmake, dpkg, dpkg-dev)"; exit 77; }
done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb() { ls "$work"/out/"$1"_*.deb 2>/dev/null; }
extract=$(deb glimmer-extract) gatherer=$(deb glimmer-gatherer)
[[ -f $extract && -f $gatherer ]] || { ls "$work/out"; echo "FAIL: cpack did not make both packages"; exit 1; }
field() { dpkg-deb --field "$1" "$2"; }
# The files (and links) a package holds, as paths without the leading ./
files() { dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort; }

[[ $(field "$extract" Package) == glimmer-extract ]] || fail "$extract is named $(field "$extract" Package)"
[[ $(field "$gatherer" Package) == glimmer-gatherer ]] || fail "$gatherer is named $(field "$gatherer" Package)"

# What each package holds: the tool's four files in glimmer-extract, everything else of the
# installed tree in glimmer-gatherer, each file once.
wanted_extract=$(printf '%s\n' usr/bin/glimmer-extract usr/share/man/man1/glimmer-extract.1.gz \
  usr/share/thumbnailers/glimmer-gatherer.thumbnailer usr/share/doc/glimmer-extract/copyright | sort)
[[ $(files "$extract") == "$wanted_extract" ]] \
  || { fail "glimmer-extract holds other files than the tool's"; diff <(echo "$wanted_extract") <(files "$extract") | sed 's/^/  /'; }
both=$(comm -12 <(files "$extract") <(files "$gatherer"))
[[ -z $both ]] || fail "in both packages: $both"
DESTDIR=$work/tree cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
installed=$(cd "$work/tree" && find . ! -type d -printf '%P\n' | sort)
packaged=$(sort <(files "$extract") <(files "$gatherer"))
[[ $packaged == "$installed" ]] \
  || { fail "the two packages differ from cmake --install"; diff <(echo "$installed") <(echo "$packaged") | sed 's/^/  /'; }
[[ $(files "$gatherer") == *usr/share/doc/glimmer-gatherer/copyright* ]] || fail "glimmer-gatherer has no copyright file"

# The window's package needs the tool's package of exactly its own version.
version=$(field "$extract" Version)
[[ $(field "$gatherer" Version) == "$version" ]] || fail "the packages' versions differ"
depends_of() { field "$1" Depends | tr ',' '\n' | sed 's/^ *//'; }
depends_of "$gatherer" | grep -qx "glimmer-extract (= $version)" \
  || fail "glimmer-gatherer does not depend on glimmer-extract (= $version): $(field "$gatherer" Depends)"

# The tool's package names exactly the packages of the libraries its binary links, and of those
# it opens only when it needs them, whose run-time names (libspng.so.0) are strings in it.
owner() { # the package of an installed file, whichever of /lib and /usr/lib dpkg knows it under
  local path found
  for path in "$1" "$(realpath "$1")" "${1#/usr}" "/usr${1#/usr}"; do
    found=$(dpkg-query -S "$path" 2>/dev/null | head -n 1)
    [[ -n $found ]] && { echo "${found%%:*}"; return; }
  done
  echo "?$1"
}
dpkg-deb --extract "$extract" "$work/extract"
binary=$work/extract/usr/bin/glimmer-extract
ldconfig=$(command -v ldconfig || echo /sbin/ldconfig)
linked=$({ readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | while read -r soname; do
  path=$(ldd "$binary" | awk -v name="$soname" '$1 == name { print ($3 ~ /^\// ? $3 : $1) }')
  [[ $path == /* ]] || path=$(ldd "$binary" | awk -v name="$soname" 'index($1, name) { print $1 }')
  owner "$path"
done; strings -a "$binary" | grep -xE 'lib[[:alnum:]_+-]+\.so\.[0-9]+' | sort -u | while read -r soname; do
  owner "$("$ldconfig" -p | awk -v name="$soname" '$1 == name { print $NF; exit }')"
done; } | sort -u)
named=$(depends_of "$extract" | tr '|' '\n' | sed 's/^ *//; s/ .*//' | grep . | sort -u)
[[ $named == "$linked" ]] \
  || { fail "glimmer-extract's Depends differs from the packages of the libraries it links or opens"
       diff <(echo "$linked") <(echo "$named") | sed 's/^/  /'; }
grep -q '^glimmer-gatherer$' <<<"$named" && fail "glimmer-extract depends on glimmer-gatherer"
# The tool links no Qt, so that the programs that call it do not pull Qt in.
grep -q '^libqt6' <<<"$named" && fail "glimmer-extract depends on Qt: $(grep '^libqt6' <<<"$named" | tr '\n' ' ')"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "packages OK: $(basename "$extract") ($(stat -c %s "$extract") bytes), $(basename "$gatherer") ($(stat -c %s "$gatherer") bytes)"
