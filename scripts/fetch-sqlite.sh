#!/usr/bin/env bash
# Fetches SQLite's amalgamation (sqlite3.c, sqlite3.h) for the Windows build,
# which has no SQLite package to link: it is taken from a pinned npm package
# that carries it, checked against pinned SHA-256 sums, and cached in
# build-windows/_deps/ (never committed). Prints the folder holding the two files.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGE=better-sqlite3
VERSION=13.2.0
TARBALL_SHA256=40487589df3496f2ee0079d22b73c63fccebe7db0e8ee9a2c42421861e321e0b
SQLITE_C_SHA256=75a4760a7b9727a4c4c877aec92eacf39e52a8f2921ce00bd33be6d3a8e8e254
SQLITE_H_SHA256=d6c84557261893439b341d2e6c35187ae3ea24fbfd843ad94616f72d89242b8c

dest=build-windows/_deps/sqlite-amalgamation
verified() {
  [ -f "$dest/sqlite3.c" ] && [ -f "$dest/sqlite3.h" ] &&
    echo "$SQLITE_C_SHA256  $dest/sqlite3.c" | sha256sum --quiet -c - 2>/dev/null &&
    echo "$SQLITE_H_SHA256  $dest/sqlite3.h" | sha256sum --quiet -c - 2>/dev/null
}
if verified; then
  realpath "$dest"
  exit 0
fi

command -v npm >/dev/null || apt-get install -y --no-install-recommends npm >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$PACKAGE@$VERSION" >/dev/null)
tarball="$work/$PACKAGE-$VERSION.tgz"
if ! echo "$TARBALL_SHA256  $tarball" | sha256sum --quiet -c -; then
  echo "fetch-sqlite: $PACKAGE@$VERSION does not have the expected SHA-256; nothing was used" >&2
  exit 1
fi
tar -xzf "$tarball" -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
mkdir -p "$dest"
cp "$work/package/deps/sqlite3/sqlite3.c" "$work/package/deps/sqlite3/sqlite3.h" "$dest/"
if ! verified; then
  rm -f "$dest/sqlite3.c" "$dest/sqlite3.h"
  echo "fetch-sqlite: the SQLite sources in $PACKAGE@$VERSION do not have the expected SHA-256" >&2
  exit 1
fi
realpath "$dest"
