#!/usr/bin/env bash
# Korvel set-up, build, run and test on Debian 12.
#   ./build.sh run    install what is missing, build, start the program on the sample school
#   ./build.sh test   install what is missing, build, run every test (non-zero on failure)
#   ./build.sh fuzz [N]  fuzz the reader of the older product's files with N inputs (100000)
set -euo pipefail
cd "$(dirname "$0")"
here=$(pwd)

packages=(build-essential cmake ninja-build ccache qt6-base-dev qt6-svg-dev qt6-translations-l10n
          libsqlite3-dev libgtest-dev fonts-dejavu-core libgl1-mesa-dev
          libical-dev libxlsxwriter-dev pkg-config libzip-dev libcurl4-openssl-dev
          sqlite3 xvfb xauth poppler-utils fet fet-data chromium
          python3-html5lib python3-icalendar python3-openpyxl)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        echo "Installing: ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}

build() {
    # Cache hits across clones of the checkout (CI builds a fresh clone each time).
    export CCACHE_BASEDIR="$here"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)"
}

case "${1:-}" in
run)
    install_missing
    build
    # The sample school lives in its own folder; it is made the first time.
    school="${KORVEL_SCHOOL:-$here/sample-school}"
    mkdir -p "$school"
    # Only into a folder without data: the tool never writes over a school.
    if [ -x build/bin/korvel-cli ] && [ ! -e "$school/Schedule.db" ] && [ ! -e "$school/Korvel.ini" ]; then
        build/bin/korvel-cli sample --size medium --weeks 1 --seed 1 "$school" ||
            echo "The sample school could not be made; starting on the folder as it is." >&2
    fi
    cd "$school"
    exec "$here/build/bin/korvel"
    ;;
test)
    install_missing
    build
    cd build
    ctest --output-on-failure -j "$(nproc)"
    ;;
fuzz)
    # Not part of the tests: clang with libFuzzer, its own build folder, a fixed number of inputs.
    packages=(clang libclang-rt-14-dev cmake ninja-build qt6-base-dev)
    install_missing
    CC=clang CXX=clang++ cmake -S tools/fuzz -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build-fuzz
    rm -rf build-fuzz/corpus
    build-fuzz/legacy-file-fuzz --write-seeds=build-fuzz/corpus
    build-fuzz/legacy-file-fuzz -runs="${2:-100000}" -max_len=2048 build-fuzz/corpus
    ;;
*)
    echo "usage: $0 run|test|fuzz [N]" >&2
    exit 2
    ;;
esac
