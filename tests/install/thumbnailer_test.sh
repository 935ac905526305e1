#!/usr/bin/env bash
# Runs the installed thumbnailer as GNOME's thumbnail factory does: under bwrap with /usr read-only,
# no home, no display, no D-Bus, and a private /tmp holding the input as
# /tmp/gnome-desktop-file-to-thumbnail.<ext> and taking the output; at the sizes GNOME asks for.
#   thumbnailer_test.sh PREFIX DATA_DIR     (PREFIX: a `cmake --install` tree)
# Exits 77 (skipped) when bwrap is missing or cannot make namespaces here.
set -uo pipefail
prefix=$1 data=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

command -v bwrap >/dev/null || { echo "SKIP: bwrap is not installed (bubblewrap)"; exit 77; }
if ! bwrap --ro-bind / / --unshare-all --die-with-parent true 2>/dev/null; then
  echo "SKIP: bwrap cannot create namespaces on this machine"
  exit 77
fi

entry=$prefix/share/thumbnailers/glimmer-gatherer.thumbnailer
exec_line=$(sed -n 's/^Exec=//p' "$entry")
try_exec=$(sed -n 's/^TryExec=//p' "$entry")
[[ -n $exec_line && -n $try_exec ]] || { echo "FAIL: $entry has no Exec or TryExec"; exit 1; }

# The installed tree appears where a local install would put it; the rest of the sandbox is GNOME's.
run_sandboxed() { # INPUT EXT SIZE OUTDIR: runs Exec, the thumbnail lands in OUTDIR
  local input=$1 ext=$2 size=$3 out=$4
  local inside=/tmp/gnome-desktop-file-to-thumbnail.$ext
  local command=${exec_line//%s/$size}
  command=${command//%i/$inside}
  command=${command//%o//tmp/gnome-desktop-thumbnailer.png}
  local -a words
  read -r -a words <<<"$command"
  bwrap --ro-bind /usr /usr --ro-bind "$prefix" /usr/local \
    --ro-bind-try /etc/ld.so.cache /etc/ld.so.cache --ro-bind-try /etc/alternatives /etc/alternatives \
    --symlink usr/bin /bin --symlink usr/lib /lib --symlink usr/lib64 /lib64 --symlink usr/sbin /sbin \
    --proc /proc --dev /dev --chdir / --unshare-all --die-with-parent \
    --clearenv --setenv PATH /usr/local/bin:/usr/bin --setenv GIO_USE_VFS local \
    --bind "$out" /tmp --ro-bind "$input" "$inside" \
    "${words[@]}"
}

png_size() { od -An -j16 -N8 -tu1 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'; }

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
found=$(bwrap --ro-bind /usr /usr --ro-bind "$prefix" /usr/local --ro-bind-try /etc/ld.so.cache /etc/ld.so.cache \
  --symlink usr/bin /bin --symlink usr/lib /lib --symlink usr/lib64 /lib64 --proc /proc --dev /dev \
  --unshare-all --clearenv --setenv PATH /usr/local/bin:/usr/bin sh -c "command -v $try_exec")
[[ $found == /usr/local/bin/$try_exec ]] || fail "TryExec $try_exec is not found on the sandbox's PATH ($found)"

# A PE32+, a PE32, a 16-bit NE library, an NE icon library and an animated cursor.
for fixture in icons64.dll icons32.dll tool32.exe icons16.dll shapes.icl spinner.ani; do
  # The entry must claim the type this machine's shared-mime-info gives the file.
  if command -v gio >/dev/null; then
    type=$(gio info -a standard::content-type "$data/$fixture" | sed -n 's/.*standard::content-type: //p')
    echo "$fixture: $type"
    grep -q "^MimeType=.*$type;" "$entry" || fail "$fixture is $type, which the entry does not claim"
  fi
  for size in 128 256 512 1024; do
    out=$(mktemp -d -p "$probe")
    errors=$(run_sandboxed "$data/$fixture" "${fixture##*.}" "$size" "$out" 2>&1)
    rc=$?
    thumbnail=$out/gnome-desktop-thumbnailer.png
    if [[ $rc -ne 0 || ! -s $thumbnail ]]; then
      fail "$fixture at $size: exit $rc, ${errors:-no message}"
      continue
    fi
    [[ $(head -c8 "$thumbnail" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "$fixture at $size: not a PNG"
    got=$(png_size "$thumbnail")
    [[ $got == "${size}x${size}" ]] || fail "$fixture at $size: the thumbnail is $got"
    [[ -z $errors ]] || fail "$fixture at $size: messages: $errors"
  done
done

# A module without icons: an error, and nothing written.
out=$(mktemp -d -p "$probe")
if run_sandboxed "$data/noicons.dll" dll 256 "$out" 2>/dev/null; then fail "noicons.dll gave success"; fi
[[ -e $out/gnome-desktop-thumbnailer.png ]] && fail "noicons.dll left a thumbnail"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "thumbnailer under bwrap OK"
