#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: its name, its
# files, its library dependencies, the man page, the completion, the desktop
# entry, lintian where installed, and the packaged runtime starting.
# Usage: check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_deb: $*" >&2; exit 1; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no version in CPackConfig.cmake"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb="$work/qavz_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work")"

contents=$(dpkg-deb --contents "$deb")
for f in usr/bin/qavz usr/share/qavz/natives.h usr/share/qavz/examples/hello.c \
  usr/share/qavz/examples/demo/DEMO.cfg usr/share/man/man1/qavz.1.gz \
  usr/share/bash-completion/completions/qavz usr/share/applications/qavz.desktop \
  usr/share/mime/packages/qavz.xml usr/share/doc/qavz/copyright; do
  grep -q " \./$f\$" <<<"$contents" || fail "the package lacks /$f"
done
! grep -q '^d.* \./usr/local' <<<"$contents" || fail "files under /usr/local"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2 libc6 libstdc++6 libfreetype6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

dpkg-deb -x "$deb" "$work/root"
warnings=$(man --warnings -l "$work/root/usr/share/man/man1/qavz.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
bash -c "source '$work/root/usr/share/bash-completion/completions/qavz' && complete -p qavz" >/dev/null ||
  fail "the completion does not load"
grep -q '^MimeType=application/x-qavz-title;$' "$work/root/usr/share/applications/qavz.desktop" ||
  fail "the desktop entry lacks the title MIME type"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/qavz.desktop"
fi
"$work/root/usr/bin/qavz" --version | grep -qx "qavz $version" || fail "the packaged qavz does not start"

if command -v lintian >/dev/null; then
  # Errors fail; warnings are printed for the record.
  lintian --fail-on error "$deb" || fail "lintian found errors"
fi
echo "check_deb: $(basename "$deb") is sound"
