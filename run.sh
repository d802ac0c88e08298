#!/usr/bin/env bash
# Installs what is missing, builds, prepares the data folder and starts 本棚帖 in it.
#   ./run.sh [FOLDER]    FOLDER defaults to ~/.local/share/hondana
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"

folder=${1:-${XDG_DATA_HOME:-$HOME/.local/share}/hondana}
build=$HONDANA_ROOT/build

if [[ -z ${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-} ]]; then
    hondana_say "画面(DISPLAY)がありません。デスクトップの端末から実行してください。"
    exit 1
fi

hondana_install_missing "${HONDANA_PACKAGES[@]}"
# The tests and benchmarks are test.sh's business; the program alone builds faster.
hondana_build "$build" Release -DHONDANA_BUILD_TESTS=OFF -DHONDANA_BUILD_BENCH=OFF
"$HONDANA_ROOT/scripts/prepare-folder.sh" "$build/share/hondana" "$folder"

cd "$folder"
exec "$build/src/hondana"
