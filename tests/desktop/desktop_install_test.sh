#!/usr/bin/env bash
# `cmake --install` makes a desktop application: a valid menu entry that runs the launcher,
# valid AppStream metadata, the icons, and a launcher that seeds the user's data folder and
# starts the program there. Usage: desktop_install_test.sh BUILD-FOLDER
set -euo pipefail

build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
id=jp.hondana.Hondana

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A prefix with a blank and Japanese in its name, as the menu entry must quote it.
prefix="$work/本棚 prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
    { cat "$work/install.log" >&2; exit 1; }
shipped=$prefix/share/hondana
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml

# The menu entry and the metadata.
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
grep -qxF "Exec=\"$prefix/bin/hondana-launch\"" "$desktop" || fail "Exec does not name the launcher"
grep -qxF "Icon=$id" "$desktop" || fail "Icon is not $id"
appstreamcli validate --no-net "$metainfo" >"$work/metainfo.log" ||
    { cat "$work/metainfo.log" >&2; fail "appstreamcli rejects $metainfo"; }
appstreamcli validate-tree --no-net "$prefix" >"$work/tree.log" ||
    { cat "$work/tree.log" >&2; fail "appstreamcli rejects the installed tree"; }

# The icons: the SVG and every PNG size, each as large as its folder says.
[[ -s $prefix/share/icons/hicolor/scalable/apps/$id.svg ]] || fail "the SVG icon is missing"
for size in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    if [[ ! -s $png ]]; then
        fail "the ${size}x${size} icon is missing"
        continue
    fi
    # Width and height are the two big-endian words after the PNG signature and IHDR header.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [[ $width == "$size" && $height == "$size" ]] ||
        fail "the ${size}x${size} icon is ${width}x${height}"
done

# The readings' dictionary, where the installed program looks for it.
[[ -s $prefix/share/hondana-readings/readings.dic ]] || fail "the readings' dictionary is missing"

# The launcher, with a stub in place of the program: it writes where it was started.
[[ -x $prefix/bin/hondana ]] || fail "the launcher's program is not installed"
stub=$work/stub
printf '#!/bin/sh\npwd >"%s"\n' "$work/started" >"$stub"
chmod +x "$stub"
launch() {
    rm -f "$work/started"
    env -i PATH="$PATH" HONDANA_PROGRAM="$stub" "$@"
}
started() {
    [[ -f $work/started && $(cat "$work/started") == "$1" ]]
}

# First use: the default folder is made and seeded from the installed data.
home=$work/home
launch HOME="$home" "$prefix/bin/hondana-launch" || fail "the launcher failed on first use"
folder=$home/.local/share/hondana
started "$folder" || fail "the program was not started in $folder"
diff -r "$shipped" "$folder" >/dev/null || fail "the new folder differs from the installed data"

# Later uses, twice: the user's files stay (a settings file spelled in lower case counts as
# present), the templates, the help and a missing link file are brought up to date, and no
# half-copied file is left.
echo "user's catalogue" >"$folder/TOSHO.MDB"
echo "user's backup" >"$folder/BOOK.DAT"
rm "$folder/JETDB.VER" "$folder/KYODAKU.udl"
echo "edited configuration" >"$folder/jetdb.ver"
echo "old template" >"$folder/intdef.ver"
echo "old page" >"$folder/KAROBU.chm/index.html"
for run in 1 2; do
    launch HOME="$home" XDG_DATA_HOME= "$prefix/bin/hondana-launch" || fail "used folder, run $run"
done
started "$folder" || fail "the program was not started in the used folder"
[[ $(cat "$folder/TOSHO.MDB") == "user's catalogue" ]] || fail "TOSHO.MDB was changed"
[[ $(cat "$folder/BOOK.DAT") == "user's backup" ]] || fail "BOOK.DAT was changed"
[[ $(cat "$folder/jetdb.ver") == "edited configuration" ]] || fail "jetdb.ver was changed"
[[ -e $folder/JETDB.VER ]] && fail "JETDB.VER was added beside jetdb.ver"
for name in intdef.ver KYODAKU.udl KAROBU.chm/index.html; do
    cmp -s "$shipped/$name" "$folder/$name" || fail "$name was not brought up to date"
done
[[ -z $(find "$folder" -name '*.new') ]] || fail "temporary files were left behind"

# XDG_DATA_HOME, a folder named on the command line, and a launcher reached through a link
# from a moved prefix.
launch HOME="$home" XDG_DATA_HOME="$work/xdg" "$prefix/bin/hondana-launch" || fail "XDG_DATA_HOME"
started "$work/xdg/hondana" || fail "XDG_DATA_HOME/hondana was not used"
mv "$prefix" "$work/moved"
mkdir "$work/bin"
ln -s "$work/moved/bin/hondana-launch" "$work/bin/hondana-launch"
(cd "$work" && launch HOME="$home" "$work/bin/hondana-launch" "家族 の本") || fail "FOLDER"
started "$work/家族 の本" || fail "the named folder was not used"
[[ -f "$work/家族 の本/TOSHOINI.MDB" ]] || fail "the named folder was not seeded"
mv "$work/moved" "$prefix"

# Without the installed data: a Japanese message, no folder, the program not started.
mkdir -p "$work/bare/bin"
cp "$prefix/bin/hondana-launch" "$work/bare/bin/"
if launch HOME="$work/bare-home" "$work/bare/bin/hondana-launch" 2>"$work/error"; then
    fail "the launcher ran without the installed data"
fi
grep -q '配布データが見つかりません' "$work/error" || fail "no message about the missing data"
[[ -e $work/bare-home || -e $work/started ]] && fail "something was made without the installed data"

# The installed data set itself is never taken for the data folder (a prefix of ~/.local).
if launch HOME="$home" "$prefix/bin/hondana-launch" "$shipped" 2>/dev/null; then
    fail "the launcher used the installed data set as the data folder"
fi

((failures == 0)) && echo "PASS"
exit $((failures > 0))
