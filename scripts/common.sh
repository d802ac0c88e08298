# shellcheck shell=bash disable=SC2034
# Shared by run.sh and test.sh: installs the Debian packages the build needs and builds the
# program. Sourced, not run.

HONDANA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What a plain Debian 12 machine lacks to build, test and show Japanese text. qt6-qpa-plugins
# brings the input-method bridges, so Japanese can be typed into the program; libsqlite3-dev lets
# backup and restore reach the same SQLite library that the Qt driver uses; librsvg2-bin's
# rsvg-convert draws the PNG icons from the SVG one (data/desktop/); MeCab with the NAIST dictionary
# suggests the readings of titles and names; libxxhash-dev digests the backup records our own data
# belongs to; lld links the many test programs quickly; QuaZip opens the zip files other catalogues
# export; Qt Charts draws the statistics window's charts (its CMake files need Qt's OpenGL
# development files, which Debian packs apart).
HONDANA_PACKAGES=(
    cmake g++ make
    qt6-base-dev libqt6sql6-sqlite libsqlite3-dev qt6-qpa-plugins qt6-translations-l10n
    fonts-ipafont-gothic librsvg2-bin libmecab-dev mecab-naist-jdic libxxhash-dev lld
    mecab-utils mecab-naist-jdic-eucjp skkdic skkdic-extra
    libquazip1-qt6-dev qt6-charts-dev libqt6opengl6-dev
)

hondana_say() {
    printf '本棚帖: %s\n' "$*" >&2
}

hondana_is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs those of the given packages that are missing, and nothing when none is.
hondana_install_missing() {
    local missing=() package
    for package in "$@"; do
        hondana_is_installed "$package" || missing+=("$package")
    done
    ((${#missing[@]} == 0)) && return 0

    if ! command -v apt-get >/dev/null; then
        hondana_say "apt-get がありません。次のパッケージを入れてから再実行してください: ${missing[*]}"
        return 1
    fi
    local as_root=()
    if ((EUID != 0)); then
        if ! command -v sudo >/dev/null; then
            hondana_say "管理者として次のパッケージを入れてから再実行してください: ${missing[*]}"
            return 1
        fi
        as_root=(sudo)
    fi
    hondana_say "足りないパッケージを入れます: ${missing[*]}"
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
}

# hondana_build <build folder> <build type> [cmake options...]
hondana_build() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$HONDANA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@"
    cmake --build "$dir" -j "${HONDANA_JOBS:-$(nproc)}"
}
