# Shared settings for the project's scripts; sourced, not run.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${CAMMON_BUILD:-$ROOT/build}
DEPS=$BUILD/deps
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A Chinese user locale makes the ANSI code page 936 (the settings file's
# encoding) and gives Wine's own dialogs Chinese buttons. Called again once
# setup has generated the locale.
chinese_locale() {
  if locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  fi
}
chinese_locale

say() { printf '%s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# APT's configuration folder; tests point it at a fake one.
APT_ETC=${CAMMON_APT_ETC:-/etc/apt}

# Prints deb822 deb-src stanzas that mirror the deb entries (one-line or
# deb822) configured in ETC: their URIs, suites, components and keyring, so
# the source packages come from wherever the machine gets its packages.
# Only suites of RELEASE (e.g. bookworm, bookworm-updates) are kept, which
# leaves out third-party repositories that publish no sources; with none of
# those, every deb entry is mirrored.
deb_src_entries() {
  local etc=$1 release=$2 files=() f
  for f in "$etc/sources.list" "$etc"/sources.list.d/*.list "$etc"/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  local out
  out=$(deb_src_from_files "$release" "${files[@]}")
  [ -n "$out" ] || out=$(deb_src_from_files '' "${files[@]}")
  printf '%s\n' "$out"
}

deb_src_from_files() {
  local release=$1; shift
  awk -v release="$release" '
    function wanted(suite) { return release == "" || suite == release || index(suite, release "-") == 1 }
    function stanza(uris, suites, comps, key, trusted,   n, i, s, kept) {
      n = split(suites, s, /[ \t]+/); kept = ""
      for (i = 1; i <= n; i++) if (s[i] != "" && wanted(s[i])) kept = kept (kept == "" ? "" : " ") s[i]
      if (kept == "" || uris == "") return
      printf "%sTypes: deb-src\nURIs: %s\nSuites: %s\n", (printed++ ? "\n" : ""), uris, kept
      if (comps != "") printf "Components: %s\n", comps
      if (key != "") printf "Signed-By: %s\n", key
      if (trusted != "") printf "Trusted: %s\n", trusted
    }
    function flush(   i, t, n, types, isdeb) {
      if (!open) return
      open = 0
      n = split(f["types"], types, /[ \t]+/); isdeb = 0
      for (i = 1; i <= n; i++) if (types[i] == "deb") isdeb = 1
      if (isdeb && tolower(f["enabled"]) != "no")
        stanza(f["uris"], f["suites"], f["components"], f["signed-by"], f["trusted"])
      delete f
    }
    FNR == 1 { flush(); deb822 = FILENAME ~ /\.sources$/ }
    # One-line format: deb [options] URI SUITE COMPONENT...
    !deb822 {
      sub(/#.*/, "")
      if ($1 != "deb") next
      line = $0; sub(/^[ \t]*deb[ \t]+/, "", line)
      key = ""; trusted = ""
      if (line ~ /^\[/) {
        opts = substr(line, 2, index(line, "]") - 2); line = substr(line, index(line, "]") + 1)
        n = split(opts, o, /[ \t]+/)
        for (i = 1; i <= n; i++) {
          if (tolower(o[i]) ~ /^signed-by=/) key = substr(o[i], 11)
          else if (tolower(o[i]) ~ /^trusted=/) trusted = substr(o[i], 9)
        }
      }
      n = split(line, w, /[ \t]+/); j = 0
      for (i = 1; i <= n; i++) if (w[i] != "") v[++j] = w[i]
      comps = ""
      for (i = 3; i <= j; i++) comps = comps (comps == "" ? "" : " ") v[i]
      stanza(v[1], v[2], comps, key, trusted)
      next
    }
    # deb822: stanzas apart by blank lines; a field continues on indented lines.
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^[ \t]/ { if (field != "") f[field] = f[field] "\n" $0; next }
    {
      open = 1
      field = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1); sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
      f[field] = value
    }
    END { flush() }
  ' "$@"
}

# Downloads and unpacks Debian's source package PKG into DIR (made afresh)
# and prints the path of the unpacked tree. When APT knows no sources yet, a
# deb-src entry derived from the machine's own deb entries is added first.
fetch_source() {
  local pkg=$1 dir=$2 log tree
  rm -rf "$dir" && mkdir -p "$dir"
  log=$dir/apt-source.log
  if ! (cd "$dir" && apt-get source -qq --download-only "$pkg" >"$log" 2>&1); then
    local release entries
    release=$( . /etc/os-release 2>/dev/null; printf '%s' "${VERSION_CODENAME:-}")
    entries=$(deb_src_entries "$APT_ETC" "$release")
    [ -n "$entries" ] || die "no deb entry in $APT_ETC to derive a deb-src entry from"
    say "setup: adding deb-src entries beside the machine's own deb entries"
    printf '%s\n' "$entries" | as_root tee "$APT_ETC/sources.list.d/cammon-deb-src.sources" >/dev/null
    # A mirror without one suite's sources fails the update as a whole; the
    # package may still be there, which apt-get source tells next.
    as_root apt-get update -qq || say "setup: apt-get update reported errors; trying the source anyway"
  fi
  if ! (cd "$dir" && apt-get source -qq "$pkg" >"$log" 2>&1); then
    cat "$log" >&2
    die "apt-get source $pkg failed"
  fi
  tree=$(find "$dir" -maxdepth 1 -mindepth 1 -type d | head -n 1)
  [ -n "$tree" ] || die "the source of $pkg was not unpacked"
  printf '%s\n' "$tree"
}

# Starts Xvfb on the first free display; sets XVFB_PID and DISPLAY.
start_xvfb() {
  local n=${1:-90}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  local deadline=$((SECONDS + 20))
  until [ -e "/tmp/.X11-unix/X$n" ]; do
    kill -0 "$XVFB_PID" 2>/dev/null || die "Xvfb did not start on :$n"
    [ $SECONDS -lt $deadline ] || die "Xvfb did not come up on :$n within 20 s"
    sleep 0.1
  done
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}

# Configures and builds the project into $BUILD (only the named targets,
# when any are given); the log is shown only when the build fails.
build_project() {
  local log=$BUILD/build.log
  mkdir -p "$BUILD"
  if ! { cmake -S "$ROOT" -B "$BUILD" -G "Unix Makefiles" \
           -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" &&
         cmake --build "$BUILD" -j2 ${1:+--target "$@"}; } >"$log" 2>&1; then
    cat "$log" >&2
    die "the build failed (log: $log)"
  fi
  grep -E 'warning:' "$log" >&2 || true
}
