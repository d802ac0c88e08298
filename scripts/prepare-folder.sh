#!/usr/bin/env bash
# Seeds a data folder from the shipped data set.
#   scripts/prepare-folder.sh SHIPPED FOLDER
#
# The user's own files (the catalogue TOSHO.MDB, the version database INTVER.mdb, the backup
# files *.DAT) are never shipped, so they are never touched. The configuration line and the
# data-link files are copied only when the folder has none, since a user may have edited them.
# The templates, the agreement and the help belong to the release and are brought up to date:
# a newer release's intdef.ver is what lets it offer the version upgrade.
set -euo pipefail

shipped=$1
folder=$2
user_editable=(JETDB.VER Karobu.udl KYODAKU.udl)

[[ -f $shipped/TOSHOINI.MDB ]] || { echo "本棚帖: $shipped に配布ファイルがありません" >&2; exit 1; }
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)

# The program matches file names without regard to case, so "jetdb.ver" counts as JETDB.VER.
present() {
    [[ -n $(find "$1" -maxdepth 1 -iname "$2" -print -quit) ]]
}

# Replaces by rename, so a program running in the folder keeps reading the file it opened.
install_file() {
    local source=$1 target=$2
    cmp -s "$source" "$target" && return 0
    cp "$source" "$target.new"
    mv -f "$target.new" "$target"
}

cd "$shipped"
find . -type f -print0 | while IFS= read -r -d '' relative; do
    relative=${relative#./}
    name=${relative##*/}
    if [[ " ${user_editable[*]} " == *" $name "* ]]; then
        present "$folder" "$name" && continue
    fi
    mkdir -p "$folder/$(dirname "$relative")"
    install_file "$relative" "$folder/$relative"
done
