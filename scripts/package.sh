#!/usr/bin/env bash
# Builds the Debian packages from the ci build and checks them: their contents and fields, that
# their dependencies are satisfiable here, and that they install and remove cleanly in scratch
# dpkg roots (the machine's own /usr is left alone). The desktop package is `tarvik`; the server
# package, `tarvik-server` (tarvikd, its systemd unit, the Prometheus setup), must depend on no
# GUI library and install into a root that holds its dependencies and nothing of Qt Gui, X11 or
# xcb. Runs lintian too when it is installed.
# Usage: scripts/package.sh   (prints the paths of the two .debs last)
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset ci >/dev/null
cmake --build --preset ci -j "$(nproc)" >/dev/null
out=build/ci/package
rm -rf "$out"
fail() { echo "package: FAIL - $*" >&2; exit 1; }

(cd build/ci && cpack -G DEB -B "$PWD/package" >cpack.log 2>&1) ||
  { cat build/ci/cpack.log >&2; fail "cpack failed"; }
deb=$(ls "$out"/tarvik_*.deb)
server=$(ls "$out"/tarvik-server_*.deb)

contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/tarvik ./usr/bin/tarvik-helper \
         ./usr/share/applications/com.morvane.Tarvik.desktop \
         ./usr/share/metainfo/com.morvane.Tarvik.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/com.morvane.Tarvik.png; do
  grep -q " $f\$" <<<"$contents" || fail "$f is not in the package"
done
grep -q "tarvik-login-item\|tarvik-icon-renderer\|_test\|tarvikd" <<<"$contents" &&
  fail "build-only programs or the server's are in the package"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q "libqt6core6" <<<"$depends" || fail "Depends lacks Qt: $depends"
grep -q "libcurl" <<<"$depends" || fail "Depends lacks libcurl: $depends"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"

# Dependencies resolve against this machine's packages (nothing is changed).
dpkg --no-act --install "$deb" >/dev/null || fail "dpkg would not install it here"

# A real install and removal into a scratch root (its empty database knows no dependencies).
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/var/lib/dpkg/info" "$scratch/var/lib/dpkg/updates"
touch "$scratch/var/lib/dpkg/status" "$scratch/var/lib/dpkg/available"
dpkg --root="$scratch" --force-depends --force-script-chrootless --install "$deb" \
  >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; fail "dpkg -i failed"; }
[ -x "$scratch/usr/bin/tarvik" ] && [ -x "$scratch/usr/bin/tarvik-helper" ] ||
  fail "the programs are not installed"
dpkg --root="$scratch" --force-script-chrootless --remove tarvik >/dev/null 2>&1 ||
  fail "dpkg -r failed"
[ ! -e "$scratch/usr/bin/tarvik" ] || fail "removal left the program behind"

# The server package: tarvikd and what runs it, and nothing of the desktop.
contents=$(dpkg-deb -c "$server")
for f in ./usr/bin/tarvikd ./usr/lib/systemd/user/tarvikd.service \
         ./usr/share/doc/tarvik-server/prometheus/prometheus.yml \
         ./usr/share/doc/tarvik-server/prometheus/tarvik-alerts.yml; do
  grep -q " $f\$" <<<"$contents" || fail "$f is not in the server package"
done
grep -q "/usr/bin/tarvik\$\|tarvik-helper\|applications\|icons" <<<"$contents" &&
  fail "the server package holds desktop files"
server_depends=$(dpkg-deb -f "$server" Depends)
grep -q "libqt6core6" <<<"$server_depends" || fail "the server's Depends lacks Qt: $server_depends"
grep -q "libcurl" <<<"$server_depends" || fail "the server's Depends lacks libcurl: $server_depends"
desktop_libraries='libqt6gui|libqt6widgets|libqt6opengl|libx11|libxcb|libgl1|libegl|libxkb'
grep -Eq "$desktop_libraries" <<<"$server_depends" &&
  fail "the server package depends on a GUI library: $server_depends"
dpkg --no-act --install "$server" >/dev/null || fail "dpkg would not install the server package here"

# A scratch root that holds exactly the server package's dependencies (as this machine has
# them), so dpkg installs it only if nothing else is needed; none of them is a GUI library.
server_root=$(mktemp -d)
trap 'rm -rf "$scratch" "$server_root"' EXIT
mkdir -p "$server_root/var/lib/dpkg/info" "$server_root/var/lib/dpkg/updates"
touch "$server_root/var/lib/dpkg/available"
for dependency in $(tr ',' '\n' <<<"$server_depends" | sed 's/|.*//; s/(.*)//; s/:any//' | tr -d ' '); do
  dpkg-query -s "$dependency" || fail "$dependency is not installed here"
  echo
done >"$server_root/var/lib/dpkg/status"
grep -Eq "^Package: ($desktop_libraries)" "$server_root/var/lib/dpkg/status" &&
  fail "the scratch root for the server package holds a GUI library"
dpkg --root="$server_root" --force-script-chrootless --install "$server" \
  >"$server_root/install.log" 2>&1 ||
  { cat "$server_root/install.log" >&2; fail "the server package does not install with its dependencies alone"; }
[ -x "$server_root/usr/bin/tarvikd" ] || fail "tarvikd is not installed"
dpkg --root="$server_root" --force-script-chrootless --remove tarvik-server >/dev/null 2>&1 ||
  fail "dpkg -r tarvik-server failed"
[ ! -e "$server_root/usr/bin/tarvikd" ] || fail "removal left tarvikd behind"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" "$server" || fail "lintian found errors"
fi
echo "package: ok - $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version), depends: $depends"
echo "package: ok - $(dpkg-deb -f "$server" Package) $(dpkg-deb -f "$server" Version), depends: $server_depends"
echo "$deb"
echo "$server"
