#!/usr/bin/env bash
# Builds the .deb, installs it with apt as a user would, checks what it put
# where, starts the installed program under a private X server until its
# first-start message, and removes the package again.
# Usage: test_deb.sh BUILD_DIR SOURCE_DIR. Exit code 77 (skipped) when not
# root, or when a tessaline package is installed already (it is left alone).
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
app_id=org.tessaline.Tessaline

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a package needs root"
  exit 77
fi
if dpkg-query -W -f='${Status}' tessaline 2>/dev/null | grep -q 'install ok installed'; then
  echo "SKIP: a tessaline package is installed on this machine already; it is left alone"
  exit 77
fi

work=$(mktemp -d)
installed=no
cleanup() {
  if [ "$installed" = yes ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tessaline >/dev/null || echo "could not remove tessaline"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

echo "== building the package"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack"
fi
debs=("$work"/tessaline_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single tessaline_*.deb"
deb=${debs[0]}
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

echo "== lintian"
# Neither errors nor warnings; lintian prints its own remark about root.
lint=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
if grep -Eq '^(E|W):' <<<"$lint"; then
  echo "$lint"
  fail "lintian"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libphonenumber8 libmecab2 unidic-mecab qt6-qpa-plugins fonts-noto-cjk; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed"
done

echo "== installing it with apt"
installed=yes
(cd "$work" && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
   "./$(basename "$deb")") >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
dpkg-query -W -f='${Status}\n' tessaline | grep -q 'install ok installed' || fail "not installed"

echo "== checking the installed files"
expected=(/usr/bin/tessaline
          /usr/libexec/tessaline/tessaline-window
          /usr/share/man/man1/tessaline.1.gz
          /usr/share/doc/tessaline/copyright
          /usr/share/doc/tessaline/changelog.Debian.gz
          "/usr/share/applications/$app_id.desktop"
          "/usr/share/metainfo/$app_id.metainfo.xml"
          "/usr/share/icons/hicolor/scalable/apps/$app_id.svg")
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
listed=$(dpkg -L tessaline)
# The subcommands' library, in the package's own library folder.
cli_library=$(grep -E '^/usr/lib/(.*/)?tessaline/libtessaline-cli\.so$' <<<"$listed" || true)
[ -n "$cli_library" ] || fail "the package holds no libtessaline-cli.so"
expected+=("$cli_library")
for file in "${expected[@]}"; do
  [ -f "$file" ] || fail "$file is missing"
  grep -qx "$file" <<<"$listed" || fail "$file isn't the package's"
done
for size in 16 22 24 32 48 64 128 256; do
  got=$(identify -format '%wx%h' "/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done
[ -x /usr/bin/tessaline ] || fail "/usr/bin/tessaline isn't executable"
for program in /usr/bin/tessaline /usr/libexec/tessaline/tessaline-window "$cli_library"; do
  if ldd "$program" | grep -q 'not found'; then
    ldd "$program"
    fail "a library of $program is missing"
  fi
done
# The command links the C library alone, its subcommands' library no
# window library.
if ldd /usr/bin/tessaline | grep -Eq 'libQt6|libstdc'; then
  fail "/usr/bin/tessaline links more than the C library"
fi
if ldd "$cli_library" | grep -Eq 'libQt6(Gui|Widgets)'; then
  fail "$cli_library loads window libraries"
fi
/usr/bin/tessaline --version | grep -qx 'tessaline 1.0.0' || fail "tessaline --version"
man -l /usr/share/man/man1/tessaline.1.gz >/dev/null 2>&1 || fail "the manual page"
grep -qx 'Name\[ja\]=テッサライン' "/usr/share/applications/$app_id.desktop" || fail "no Japanese name"
grep -qx 'Categories=Office;ContactManagement;' "/usr/share/applications/$app_id.desktop" || fail "categories"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "/usr/share/applications/$app_id.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml"
fi

echo "== starting the installed program"
TESSALINE_BIN=/usr/bin/tessaline PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 "$source/packaging/installed_start.py" -v

echo "== removing it"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tessaline >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "apt-get purge"; }
installed=no
for file in "${expected[@]}"; do
  [ ! -e "$file" ] || fail "$file is left behind"
done
echo "the package installs, starts and goes again"
