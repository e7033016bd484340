#!/usr/bin/env bash
# Builds the Debian package from the ci build and checks it: its contents and fields, that its
# dependencies are satisfiable here, and that it installs and removes cleanly in a scratch dpkg
# root (the machine's own /usr is left alone). Runs lintian too when it is installed.
# Usage: scripts/package.sh   (prints the path of the .deb last)
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

contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/tarvik ./usr/bin/tarvik-helper \
         ./usr/share/applications/com.morvane.Tarvik.desktop \
         ./usr/share/metainfo/com.morvane.Tarvik.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/com.morvane.Tarvik.png; do
  grep -q " $f\$" <<<"$contents" || fail "$f is not in the package"
done
grep -q "tarvik-login-item\|tarvik-icon-renderer\|_test" <<<"$contents" &&
  fail "build-only programs are in the package"
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

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || fail "lintian found errors"
fi
echo "package: ok - $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version), depends: $depends"
echo "$deb"
