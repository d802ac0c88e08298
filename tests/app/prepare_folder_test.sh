#!/usr/bin/env bash
# Seeding a data folder must never touch what the user made, and must leave a folder the program
# can start in. Usage: prepare_folder_test.sh PREPARE-SCRIPT SHIPPED-FOLDER
set -euo pipefail

prepare=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A copy, so that a faulty script cannot spoil the staged set for the other tests.
shipped=$work/shipped
cp -r "$2" "$shipped"
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

same() {
    cmp -s "$1" "$2" || fail "$3"
}

# A new folder, with blanks and Japanese in its name, gets the whole shipped set.
fresh="$work/本棚 2"
"$prepare" "$shipped" "$fresh"
diff -r "$shipped" "$fresh" >/dev/null || fail "a new folder differs from the shipped set"

# A folder named relative to the current directory.
(cd "$work" && "$prepare" "$shipped" relative)
diff -r "$shipped" "$work/relative" >/dev/null || fail "a relative folder differs from the shipped set"

# A folder in use: the user's catalogue, version, backups and edited settings stay as they are;
# a settings file spelled in lower case counts as present; stale templates are brought up to date.
used="$work/used"
mkdir -p "$used/KAROBU.chm"
for name in TOSHO.MDB INTVER.mdb BOOK.DAT HAKKO.DAT; do
    echo "user's $name" >"$used/$name"
done
echo "edited configuration" >"$used/jetdb.ver"
echo "edited link" >"$used/Karobu.udl"
echo "old template" >"$used/intdef.ver"
echo "old page" >"$used/KAROBU.chm/index.html"
cp -r "$used" "$work/before"
"$prepare" "$shipped" "$used"
"$prepare" "$shipped" "$used" # a second run changes nothing more

for name in TOSHO.MDB INTVER.mdb BOOK.DAT HAKKO.DAT jetdb.ver Karobu.udl; do
    same "$work/before/$name" "$used/$name" "$name was changed"
done
[[ -e $used/JETDB.VER ]] && fail "JETDB.VER was added beside jetdb.ver"
same "$shipped/intdef.ver" "$used/intdef.ver" "intdef.ver was not brought up to date"
same "$shipped/TOSHOINI.MDB" "$used/TOSHOINI.MDB" "TOSHOINI.MDB is missing"
same "$shipped/KYODAKU.udl" "$used/KYODAKU.udl" "a missing KYODAKU.udl was not added"
same "$shipped/KAROBU.chm/index.html" "$used/KAROBU.chm/index.html" "the help is stale"
[[ -z $(find "$used" -name '*.new') ]] || fail "temporary files were left behind"

# Without a shipped set nothing is created.
if "$prepare" "$work/nothing" "$work/never" 2>/dev/null; then
    fail "a missing shipped set was accepted"
fi
[[ -e $work/never ]] && fail "a folder was created from a missing shipped set"

((failures == 0)) && echo "PASS"
exit $((failures > 0))
