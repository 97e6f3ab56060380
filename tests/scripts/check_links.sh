#!/bin/sh
# Every relative link in README.md and docs/ must lead to a file of the
# repository, and a link to a heading of a Markdown file to a heading that
# is there (named as the repository's web view names them: lower case,
# punctuation dropped, spaces as hyphens).
#   check_links.sh SOURCE_DIR
set -eu
cd "$1"
. tests/checks.sh

anchors() {
    sed -n 's/^#\{1,6\} //p' "$1" | tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

resolves() {
    page=$1 link=$2
    target=${link%%#*}
    anchor=
    case $link in *'#'*) anchor=${link#*#} ;; esac
    if [ -n "$target" ]; then
        target=$(dirname "$page")/$target
        [ -e "$target" ] || return 1
    else
        target=$page
    fi
    [ -z "$anchor" ] || anchors "$target" | grep -qxF "$anchor"
}

found=$(mktemp)
trap 'rm -f "$found"' EXIT
links=0
for page in README.md docs/*.md; do
    grep -o '\](\([^)]*\))' "$page" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*://' >"$found" || true
    while read -r link; do
        links=$((links + 1))
        check "$page: $link" resolves "$page" "$link"
    done <"$found"
done
check "some links were found ($links)" test "$links" -gt 0
[ "$failures" -eq 0 ]
