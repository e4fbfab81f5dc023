#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack as "make deb" builds it, checked by
# lintian, desktop-file-validate and appstreamcli, unpacked into a scratch root made read-only,
# and started twice offscreen with a fresh HOME. The first run must write its settings under
# ~/.config/OruvoTarvix; the second must read them back, which shows in what it writes when it
# closes. A termination signal closes the program as the user would.
# Run as root, the program runs as "nobody", for whom the read-only tree is really unwritable.
# Usage: package_test.sh <build directory>
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
chmod 755 "$scratch"
root=$scratch/root
home=$scratch/home
cleanup() {
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "== cpack"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$scratch"/out/oruvotarvix_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single oruvotarvix_<version>_<arch>.deb"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$(basename "$deb")" = "oruvotarvix_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries"

echo "== lintian"
lintian_status=0
findings=$(lintian --fail-on error "$deb" 2>&1) || lintian_status=$?
grep -v 'running with root privileges' <<<"$findings" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

dpkg -x "$deb" "$root"
echo "== desktop-file-validate"
desktop=$root/usr/share/applications/com.example.oruvotarvix.desktop
desktop-file-validate "$desktop" || fail "desktop entry"
grep -qx 'Exec="/usr/bin/oruvotarvix"' "$desktop" || fail "Exec line: $(grep Exec "$desktop")"
echo "== appstreamcli validate"
metainfo=$root/usr/share/metainfo/com.example.oruvotarvix.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"

echo "== two runs from a read-only install"
chmod -R a-w "$root"
runtime=$scratch/runtime
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$home" "$runtime"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
program=$root/usr/bin/oruvotarvix

# Starts the program, waits until it has installed its SIGTERM handler (bit 15 of SigCgt), then
# sends SIGTERM and expects a clean exit within 30 s. The handler counts only once the process
# runs the program itself: before the exec it is a copy of this shell (or env, setpriv), whose
# own handlers would let the signal through to a program that has none yet.
run_once() {
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" \
    QT_QPA_PLATFORM=offscreen "${as_user[@]}" "$program" >"$scratch/run.log" 2>&1 &
  local pid=$! i executable
  executable=$(readlink -f "$program")
  for ((i = 0; i < 300; i++)); do
    local caught=
    if [ "$(readlink "/proc/$pid/exe" 2>/dev/null || true)" = "$executable" ]; then
      caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    fi
    [ -n "$caught" ] && (((0x$caught >> 14) & 1)) && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$pid" 2>/dev/null || { cat "$scratch/run.log" || true; fail "the program ended by itself"; }
  for ((i = 0; i < 300; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    fail "the program did not close on SIGTERM"
  fi
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { cat "$scratch/run.log" || true; fail "exit status $status"; }
}

settings=$home/.config/OruvoTarvix
comset=$settings/comset.ini
run_once
[ -f "$comset" ] || fail "no $comset"
[ -f "$settings/FromSizeInfo.ini" ] || fail "no window sizes in $settings"
[ -d "$home/.local/share/OruvoTarvix" ] || fail "no log directory"
grep -qx "SendFileName=$settings/default.sen"$'\r' "$comset" || fail "SendFileName: $(cat "$comset")"
grep -qx $'TimeInteval1=1000\r' "$comset" || fail "first close wrote no TimeInteval1"
[ -z "$(find "$root" -newer "$deb" ! -type d)" ] || fail "something was written in the install"

# Values only a read at start-up can bring back: the close writes what the window holds.
sed -i -e 's/^TimeInteval1=1000\r$/TimeInteval1=1234\r/' -e 's/^PageIndex=0\r$/PageIndex=1\r/' \
  -e 's/^content=.*$/content=AA 55\r/' "$comset"
run_once
for line in TimeInteval1=1234 PageIndex=1 'content=AA 55'; do
  grep -qx "$line"$'\r' "$comset" || fail "second run did not keep $line: $(cat "$comset")"
done

# Root passes every permission check (people start the program with sudo to reach a port): the
# installed copy still keeps root's files in root's home, never in the install.
if [ "$(id -u)" -eq 0 ]; then
  echo "== a run as root from the same install"
  home=$scratch/root-home
  runtime=$scratch/root-runtime
  mkdir -p "$home" "$runtime"
  chmod 700 "$runtime"
  as_user=()
  run_once
  [ -f "$home/.config/OruvoTarvix/comset.ini" ] || fail "root's run wrote no settings in its home"
  [ -z "$(find "$root" -newer "$deb" ! -type d)" ] || fail "root's run wrote into the install"
fi
echo "package test passed: $(basename "$deb")"
