#!/usr/bin/env bash
# The installed thumbnailer as the file managers' own machinery runs it:
#   thumbnailer_clients.sh gnome   BUILD_DIR SOURCE_DIR   GNOME's thumbnail factory (gnome-desktop)
#   thumbnailer_clients.sh tumbler BUILD_DIR SOURCE_DIR   XFCE's tumbler over D-Bus
# The build is installed as under --prefix /usr/local, and appears there only inside a private
# mount namespace where the system's other thumbnailer entries are hidden, so the clients can only
# use ours. HOME is private, the session bus is the test's own, and all of it is removed at the end.
# Exits 77 (skipped) when a client's package is missing or bwrap cannot make namespaces here.
set -uo pipefail
mode=$1 build=$2 source=$3
skip() { echo "SKIP: $*"; exit 77; }

command -v bwrap >/dev/null || skip "bwrap is not installed (bubblewrap)"
bwrap --dev-bind / / --unshare-pid true 2>/dev/null || skip "bwrap cannot create namespaces on this machine"
/usr/bin/python3 -c 'import gi' 2>/dev/null || skip "python3-gi is not installed"
if [[ $mode == gnome ]]; then
  /usr/bin/python3 -c 'import gi; gi.require_version("GnomeDesktop", "3.0")' 2>/dev/null \
    || skip "GNOME's thumbnail factory is not installed (gir1.2-gnomedesktop-3.0)"
else
  compgen -G '/usr/lib/*/tumbler-1/tumblerd' >/dev/null || skip "tumbler is not installed"
  command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (dbus-daemon)"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/files"
# A PE32 and a PE32+ library, a 16-bit NE library, an NE icon library, an animated cursor, a name
# with spaces, and a module without icons.
for f in icons32.dll icons64.dll icons16.dll shapes.icl spinner.ani noicons.dll; do
  cp "$source/tests/data/$f" "$work/files/"
done
cp "$source/tests/data/tool.exe" "$work/files/my old program.exe"

# A sanitizer build: LeakSanitizer stops the process with ptrace to look for leaks, which GNOME's
# seccomp filter refuses, so leaks are looked for in the other tests only.
[[ -n ${ASAN_OPTIONS:-} ]] && export ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0

DESTDIR=$work/stage cmake --install "$build" --prefix /usr/local >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

# in_namespace USR_LOCAL COMMAND...: runs the command with USR_LOCAL as /usr/local (empty when "").
in_namespace() {
  local usr_local=$1
  shift
  local -a bind=(--tmpfs /usr/local)
  [[ -n $usr_local ]] && bind=(--bind "$usr_local" /usr/local)
  timeout 300 bwrap --dev-bind / / "${bind[@]}" --tmpfs /usr/share/thumbnailers \
    --die-with-parent \
    --unsetenv XDG_CACHE_HOME --unsetenv XDG_DATA_HOME --unsetenv XDG_CONFIG_HOME --unsetenv XDG_RUNTIME_DIR \
    --unsetenv DBUS_SESSION_BUS_ADDRESS --setenv HOME "$work/home" --setenv XDG_DATA_DIRS /usr/local/share:/usr/share \
    --setenv GSETTINGS_BACKEND memory --setenv PATH "$work/home/.local/bin:/usr/local/bin:/usr/bin:/bin" \
    "$@"
}
clients=$source/tests/install/thumbnailer_clients.py

if [[ $mode == tumbler ]]; then
  in_namespace "$work/stage/usr/local" dbus-run-session -- /usr/bin/python3 "$clients" tumbler "$work/files"
  exit
fi

in_namespace "$work/stage/usr/local" /usr/bin/python3 "$clients" gnome "$work/files" || exit 1
# Installed for one user: no entry, so GNOME neither tries nor records a failure.
rm -rf "$work/home/.cache"
message=$(cmake --install "$build" --prefix "$work/home/.local" 2>&1) || { echo "FAIL: cmake --install (user)"; exit 1; }
in_namespace "" /usr/bin/python3 "$clients" gnome-user "$work/files" || exit 1
grep -q "No thumbnailer entry installed" <<<"$message" || { echo "FAIL: the user install says nothing of the thumbnailer"; exit 1; }
