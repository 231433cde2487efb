#!/usr/bin/env bash
# The deb-src entries setup adds mirror the machine's deb entries, in either
# of APT's formats, and leave out other repositories.
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
mkdir -p "$etc/sources.list.d"
fail() { say "FAIL: $*"; exit 1; }
expect() {
  local got
  got=$(deb_src_entries "$etc" bookworm)
  [ "$got" = "$1" ] || fail "$2: got
$got"
}

cat > "$etc/sources.list" <<'SRC'
# a comment
deb [arch=amd64 signed-by=/usr/share/keyrings/a.gpg] file:/srv/mirror/debian bookworm main contrib
deb file:/srv/mirror/debian-security bookworm-security main # trailing
deb-src file:/srv/mirror/debian bookworm main
deb file:/srv/vendor/apt stable main
SRC
expect 'Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm
Components: main contrib
Signed-By: /usr/share/keyrings/a.gpg

Types: deb-src
URIs: file:/srv/mirror/debian-security
Suites: bookworm-security
Components: main' "one-line entries"

rm "$etc/sources.list"
cat > "$etc/sources.list.d/debian.sources" <<'SRC'
Types: deb
# a comment inside the stanza
URIs: file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb deb-src
URIs: file:/srv/mirror/debian-security
Suites: bookworm-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: file:/srv/off/debian
Suites: bookworm
Components: main
Enabled: no
SRC
cat > "$etc/sources.list.d/vendor.sources" <<'SRC'
Types: deb
URIs: file:/srv/vendor/node
Suites: nodistro
Components: main
SRC
echo 'deb file:/srv/disabled/ bookworm main' > "$etc/sources.list.d/old.list.disabled"
expect 'Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: file:/srv/mirror/debian-security
Suites: bookworm-security
Components: main
Signed-By: 
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL
 -----END PGP PUBLIC KEY BLOCK-----' "deb822 entries"

# A machine whose entries name no release suite still gets all of them.
rm "$etc/sources.list.d/debian.sources"
expect 'Types: deb-src
URIs: file:/srv/vendor/node
Suites: nodistro
Components: main' "entries of another release"
echo "sources_test: ok"
