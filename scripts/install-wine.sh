#!/bin/sh
# Installs the plug-in for a player that runs under Wine: vlvis003.dll into
# the player's Plugins folder and the meter face at the fixed path
# c:\program files\winamp\vl-vu.bmp, both inside the same Wine prefix.
# Running it again changes nothing that is already in place.
set -eu

# The Debian package installs this script as vlvis-install-plugin and sets
# these two to the files it carries; in a checkout they stay empty.
packaged_dll=
packaged_face=

name=${0##*/}
usage() {
    echo "usage: $name [--prefix DIR] [--player-dir FOLDER] [--from DIR]"
    cat <<'USAGE'

  --prefix DIR         the Wine prefix (default: $WINEPREFIX, else ~/.wine)
  --player-dir FOLDER  the player's folder, as Wine sees it
                       ('C:\Program Files (x86)\Winamp') or as a Unix path;
                       default: the first of C:\Program Files (x86)\Winamp
                       and C:\Program Files\Winamp that holds winamp.exe
  --from DIR           a folder holding vlvis003.dll and vl-vu.bmp, such as
                       the unpacked release zip (default: the files the
                       package vlvis installed, or in a checkout
                       build/win32/release/vlvis003.dll and assets/vl-vu.bmp)
USAGE
}

# printf, not echo: Windows paths are full of backslashes.
say() { printf '%s\n' "$*"; }
die() {
    say "$name: $*" >&2
    exit 1
}

checkout=$(cd "$(dirname "$0")/.." && pwd)
prefix=${WINEPREFIX:-$HOME/.wine}
player_dir=
dll=${packaged_dll:-$checkout/build/win32/release/vlvis003.dll}
face=${packaged_face:-$checkout/assets/vl-vu.bmp}

while [ $# -gt 0 ]; do
    case $1 in
        --prefix | --player-dir | --from)
            [ $# -ge 2 ] || { usage >&2; exit 2; }
            case $1 in
                --prefix) prefix=$2 ;;
                --player-dir) player_dir=$2 ;;
                --from) dll=$2/vlvis003.dll face=$2/vl-vu.bmp ;;
            esac
            shift 2 ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done

[ -f "$dll" ] || die "no $dll (build it with scripts/release.sh, or give --from)"
[ -f "$face" ] || die "no $face (give --from)"
[ -d "$prefix/drive_c" ] || die "$prefix is not a Wine prefix: it has no drive_c folder"
prefix=$(cd "$prefix" && pwd -P)

lower() { printf '%s' "$1" | tr '[:upper:]' '[:lower:]'; }

# Wine finds names in any letter case, Unix does not: reuse an existing
# entry of that name in any case, so that no second folder or file appears
# beside it. Prints the name to use inside folder $1.
entry_name() {
    if [ -e "$1/$2" ] || [ ! -d "$1" ]; then
        printf '%s' "$2"
        return
    fi
    wanted=$(lower "$2")
    for entry in "$1"/* "$1"/.[!.]*; do
        [ -e "$entry" ] || continue
        if [ "$(lower "${entry##*/}")" = "$wanted" ]; then
            printf '%s' "${entry##*/}"
            return
        fi
    done
    printf '%s' "$2"
}

# The Unix folder of a Wine drive letter: its dosdevices link, or drive_c
# for C: in a prefix without one.
drive_folder() {
    letter=$(lower "$1")
    if [ -d "$prefix/dosdevices/$letter:" ]; then
        (cd "$prefix/dosdevices/$letter:" && pwd -P)
    elif [ "$letter" = c ]; then
        printf '%s' "$prefix/drive_c"
    else
        die "drive $1: is not mapped in $prefix"
    fi
}

# A Windows path ('C:\Program Files\Winamp') as a Unix path in the prefix,
# in the spelling of the folders that exist already.
unix_path() {
    case $1 in
        [A-Za-z]:*) ;;
        *) die "not a Windows path with a drive letter: $1" ;;
    esac
    path=$(drive_folder "$(printf '%s' "$1" | cut -c1)")
    rest=$(printf '%s' "$1" | cut -c3- | tr '\134' /)
    old_ifs=$IFS
    IFS=/
    set -f
    # shellcheck disable=SC2086
    set -- $rest
    set +f
    IFS=$old_ifs
    for part in "$@"; do
        [ -n "$part" ] || continue
        path=$path/$(entry_name "$path" "$part")
    done
    printf '%s' "$path"
}

if [ -z "$player_dir" ]; then
    for candidate in 'C:\Program Files (x86)\Winamp' 'C:\Program Files\Winamp'; do
        folder=$(unix_path "$candidate")
        if [ -f "$folder/$(entry_name "$folder" winamp.exe)" ]; then player_dir=$candidate; break; fi
    done
    [ -n "$player_dir" ] || die 'no winamp.exe in C:\Program Files (x86)\Winamp or C:\Program Files\Winamp' "of $prefix; give --player-dir"
fi
case $player_dir in
    [A-Za-z]:*) player=$(unix_path "$player_dir") ;;
    *) player=$player_dir ;;
esac
[ -d "$player" ] || die "no player folder $player (from --player-dir $player_dir)"

plugins=$player/$(entry_name "$player" Plugins)
face_folder=$(unix_path 'C:\Program Files\Winamp')

# Copies $1 into folder $2 under the name $3, unless the same file is there.
install_file() {
    target=$2/$(entry_name "$2" "$3")
    if [ -f "$target" ] && cmp -s "$1" "$target"; then
        say "unchanged  $target"
        return
    fi
    if [ ! -d "$2" ]; then
        mkdir -p "$2"
        say "created    $2/"
    fi
    cp "$1" "$target.installing"
    mv -f "$target.installing" "$target"
    say "installed  $target"
}

say "Wine prefix $prefix:"
install_file "$dll" "$plugins" vlvis003.dll
install_file "$face" "$face_folder" vl-vu.bmp
say 'The plug-in reads its face from c:\program files\winamp\vl-vu.bmp and keeps'
say "its window positions in $plugins/plugin.ini."
say "Start the player in this prefix and choose one of its two visualizations."
