#!/usr/bin/env bash
# Installs what is missing, builds (Debug) and runs every test.
#   ./test.sh [cmake options...]    e.g. ./test.sh -DHONDANA_SANITIZE=ON
# HONDANA_BUILD_DIR picks the build folder (default build-test).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"

build=${HONDANA_BUILD_DIR:-$HONDANA_ROOT/build-test}

# strace lets the hardening tests fail system calls and watch the order of flushes;
# desktop-file-utils and appstream check the installed menu entry and metadata.
hondana_install_missing "${HONDANA_PACKAGES[@]}" strace desktop-file-utils appstream
hondana_build "$build" Debug "$@"
cd "$build"
# The detail report's tests read its PDF with pdftotext and pdffonts.
hondana_install_missing poppler-utils
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "${HONDANA_JOBS:-2}"
