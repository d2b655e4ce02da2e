#!/usr/bin/env bash
# Velmora developer entry point.
#   tools/dev.sh setup   install the Debian packages the build and tests need and
#                        fetch the database engine's source (third_party/)
#   tools/dev.sh build   configure and build into build/
#   tools/dev.sh start   setup, build and start the program
#   tools/dev.sh test    setup, build and run every test (fuzzers included)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

packages=(
  cmake ninja-build g++ pkgconf libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libssl-dev libxlsxwriter-dev libminizip-dev
  libjpeg62-turbo-dev zlib1g-dev fonts-wqy-microhei fonts-liberation2
  libicu-dev unicode-data liblua5.4-dev zbar-tools
  clang libclang-rt-14-dev xvfb xauth poppler-utils
  cups printer-driver-cups-pdf libcups2-dev
)

# The database engine: SQLCipher's amalgamation (sqlite3.c), built by CMake
# into a static library.  The tarball must match the integrity its registry
# published for this version, or nothing is unpacked.
sqlcipher_version=4.5.5
sqlcipher_package=@commapp/sqlcipher-amalgamation
sqlcipher_integrity=sha512-Ebi6aNWlh5qr2fWGaHVvahCBRZtbs63hStQmUOIA8zhfiJT3S0ZgQ0Oby0Pwh12DWP2uRs03am1LFuxgcdegoQ==
sqlcipher_dir="third_party/sqlcipher-$sqlcipher_version"

as_root() {
  if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

fetch_sqlcipher() {
  if [ -f "$sqlcipher_dir/src/sqlite3.c" ] && [ -f "$sqlcipher_dir/src/sqlite3.h" ]; then
    return 0
  fi
  if ! command -v npm >/dev/null 2>&1; then
    echo "Installing: npm"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends npm
  fi
  local tmp tgz want got
  tmp="$(mktemp -d "${TMPDIR:-/tmp}/velmora-sqlcipher.XXXXXX")"
  (cd "$tmp" && npm pack --silent --ignore-scripts "$sqlcipher_package@$sqlcipher_version" >/dev/null)
  tgz="$(ls "$tmp"/*.tgz)"
  want="$(printf '%s' "${sqlcipher_integrity#sha512-}" | base64 -d | od -An -v -tx1 | tr -d ' \n')"
  got="$(sha512sum "$tgz" | cut -d' ' -f1)"
  if [ -z "$want" ] || [ "$want" != "$got" ]; then
    echo "$sqlcipher_package $sqlcipher_version: the downloaded file does not match its published integrity" >&2
    rm -rf "$tmp"
    return 1
  fi
  mkdir -p "$tmp/x"
  tar -xzf "$tgz" -C "$tmp/x"
  mkdir -p third_party
  rm -rf "$sqlcipher_dir"
  mv "$tmp/x/package" "$sqlcipher_dir"
  rm -rf "$tmp"
  echo "SQLCipher $sqlcipher_version source in $sqlcipher_dir"
}

setup() {
  install_packages
  fetch_sqlcipher
}

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

build() {
  # CI builds with warnings as errors; a developer's build only shows them.
  # CI also leaves out debug info: with it the build and the fuzzers need
  # some 6 GB of disk, more than a fresh CI machine may have free.
  local werror=OFF lean=()
  if [ "${CI:-}" = "true" ]; then
    werror=ON
    lean=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG")
  fi
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=$werror "${lean[@]}" >/dev/null
  cmake --build build -j "$(jobs)"
}

build_fuzz() {
  # Line tables are enough for a crash's stack; full debug info triples the size.
  local flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -gline-tables-only -O1"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVELMORA_FUZZ=ON -DVELMORA_BENCH=OFF \
    -DCMAKE_C_FLAGS_DEBUG= -DCMAKE_CXX_FLAGS_DEBUG= \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  local targets=() f
  for f in tests/fuzz/fuzz_*.cpp; do
    [ -e "$f" ] && targets+=("$(basename "$f" .cpp)")
  done
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build build-fuzz -j "$(jobs)" --target "${targets[@]}"
  fi
}

headless_env() {
  export QT_QPA_PLATFORM=offscreen
  XDG_RUNTIME_DIR="$(mktemp -d /tmp/velmora-xdg.XXXXXX)"
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
}

run_tests() {
  headless_env
  ctest --test-dir build -j "$(jobs)" --output-on-failure
  if compgen -G "tests/fuzz/fuzz_*.cpp" >/dev/null; then
    # On CI the main build's objects are not needed again: free their disk
    # for the fuzz build.
    if [ "${CI:-}" = "true" ]; then find build -name '*.o' -delete; fi
    build_fuzz
    ctest --test-dir build-fuzz -L fuzz -j "$(jobs)" --output-on-failure
  fi
}

case "${1:-}" in
  setup) setup ;;
  build) setup; build ;;
  start) setup; build; exec build/bin/velmora ;;
  test)  setup; build; run_tests ;;
  *) echo "usage: $0 setup|build|start|test" >&2; exit 2 ;;
esac
