#!/usr/bin/env bash
# Builds the Debian package from a copy of the source tree, so that neither the package
# build's files nor the .deb land in the tree itself:
#   tools/make_deb.sh [folder]      (default build-deb/)
# leaves tarnwick_<version>_<arch>.deb in the folder and prints its path last. The build
# dependencies must be installed (see the README).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(mkdir -p "${1:-$root/build-deb}" && cd "${1:-$root/build-deb}" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

src="$out/tarnwick"
rm -rf "$src" "$out"/*.deb "$out"/*.buildinfo "$out"/*.changes
mkdir -p "$src"
# The sources as the repository holds them (tracked and new files, nothing ignored); a tree
# without git is copied whole but for its build folders.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z --cached --others --exclude-standard \
        | xargs -0 -r sh -c 'for f; do [ -e "$f" ] || [ -L "$f" ] && printf "%s\0" "$f"; done' sh \
        | tar --null -T - -cf -) | tar -xf - -C "$src"
else
    (cd "$root" && tar --exclude='./build*' --exclude='./.git' -cf - .) | tar -xf - -C "$src"
fi

(cd "$src" && DEB_BUILD_OPTIONS="nocheck parallel=$jobs" dpkg-buildpackage -b -us -uc) \
    > "$out/build.log" 2>&1 || { tail -n 60 "$out/build.log" >&2; exit 1; }
rm -rf "$src"
deb=$(ls "$out"/tarnwick_*.deb)
echo "$deb"
