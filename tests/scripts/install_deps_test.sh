#!/bin/sh
# scripts/install-deps.sh against a mirror that serves a stale i386 index,
# played by fake apt-get, apt-config, apt-helper, dpkg, dpkg-query, id and
# sleep first on PATH; apt's lists folder is one of the test's own, so the
# machine's apt state is never touched.
#   install_deps_test.sh INSTALL_DEPS WORKDIR
# shellcheck disable=SC2016 # the fakes' own variables expand when they run
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/checks.sh
. "$here/../checks.sh"
install_deps=$1
work=$2
rm -rf "$work"
mkdir -p "$work/bin"
work=$(cd "$work" && pwd)

url=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
index=deb.debian.org_debian-security_dists_bookworm-security_main_binary-i386_Packages
said='File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]'
signed_sha=5aa58ea44688978d17b28ffab762d89251fefc64aa2548ac43e228e5fd91d903
# What the mirror serves in place of the signed index.
printf 'Package: libwine\nArchitecture: i386\n' | xz >"$work/stale.xz"
taken_sha=$(sha256sum <"$work/stale.xz" | cut -d' ' -f1)

fake() {  # name, then the script's body
    printf '#!/bin/sh\necho "%s $*" >>"$FAKE/calls"\n%s\n' "$1" "$2" >"$work/bin/$1"
    chmod +x "$work/bin/$1"
}
fake id 'echo 0'
fake sleep ':'
fake dpkg 'case $1 in --print-architecture) echo amd64 ;; --print-foreign-architectures) echo i386 ;; esac'
fake dpkg-query 'exit 1'
fake apt-config 'echo "lists='\''$FAKE/lists/'\''"'
fake apt-helper "cp '$work/stale.xz' \"\$3\""
# update reports the mirror fault FAILURES times, then fetches the index;
# install finds the packages only with the i386 index when NEEDED is set.
fake apt-get "
case \$1 in
update)
    tries=\$((\$(cat \"\$FAKE/tries\" 2>/dev/null || echo 0) + 1))
    echo \"\$tries\" >\"\$FAKE/tries\"
    if [ \"\$tries\" -gt \"\$FAILURES\" ]; then : >\"\$FAKE/lists/$index\"; exit 0; fi
    echo 'Err:5 http://deb.debian.org/debian-security bookworm-security/main i386 Packages'
    echo '  $said'
    echo 'E: Failed to fetch $url  $said'
    echo '   Hashes of expected file:'
    echo '    - Filesize:376004 [weak]'
    echo 'E: Some index files failed to download. They have been ignored, or old ones used instead.'
    exit 100 ;;
install)
    [ -z \"\$NEEDED\" ] || [ -e \"\$FAKE/lists/$index\" ] || {
        echo 'E: Unable to correct problems, you have held broken packages.'
        exit 100
    } ;;
esac"

# One run of install-deps.sh in a fresh fake world; $status, $out (stdout
# and stderr), $calls.
run() {  # tries that fail, NEEDED, VLVIS_ACCEPT_UNVERIFIED_I386_INDEX, arguments...
    failing=$1 needed=$2 accept=$3
    shift 3
    world=$work/world
    rm -rf "$world"
    mkdir -p "$world/lists"
    printf '%s\n' 'Origin: Debian' 'SHA256:' " $signed_sha   376004 main/binary-i386/Packages.xz" \
        >"$world/lists/deb.debian.org_debian-security_dists_bookworm-security_InRelease"
    : >"$world/calls"
    PATH="$work/bin:$PATH" FAKE="$world" FAILURES="$failing" NEEDED="$needed" \
        VLVIS_ACCEPT_UNVERIFIED_I386_INDEX="$accept" "$install_deps" "$@" >"$work/out" 2>&1
    status=$?
    out=$(cat "$work/out")
    calls=$(cat "$world/calls")
}
has() { printf '%s\n' "$out" | grep -qF -- "$1"; }
lacks() { ! has "$1"; }
count() { printf '%s\n' "$calls" | grep -c "^$1\$"; }
written() { [ -e "$world/lists/$index" ]; }
not_written() { ! written; }
installed() { printf '%s\n' "$calls" | grep -q '^apt-get install -y .*wine32:i386'; }
not_installed() { ! printf '%s\n' "$calls" | grep -q '^apt-get install -y'; }

echo "== the index stays rejected: the default stops"
run 3 1 ''
check "status 75 (status $status)" [ "$status" -eq 75 ]
check "apt-get update tried 3 times" [ "$(count 'apt-get update -q')" -eq 3 ]
check "with a pause between tries" [ "$(count 'sleep 20')" -eq 2 ]
check "names the index and what apt said" has "$url  $said"
check "gives the command to run later" has "sudo $install_deps"
check "names the opt-in" has "--accept-unverified-i386-index"
check "writes no index" not_written
check "installs nothing" not_installed
check "fetches nothing past apt" [ "$(count 'apt-helper .*')" -eq 0 ]
printf '%s\n' "$out" | sed 's/^/    | /'

for opt_in in VLVIS_ACCEPT_UNVERIFIED_I386_INDEX=1 --accept-unverified-i386-index; do
    echo "== the index stays rejected, $opt_in"
    case $opt_in in
        --*) run 3 1 '' "$opt_in" ;;
        *) run 3 1 1 ;;
    esac
    check "status 0 (status $status)" [ "$status" -eq 0 ]
    check "the index apt rejected is written where apt reads it" written
    check "uncompressed" [ "$(cat "$world/lists/$index" 2>/dev/null)" = "$(xz -dc "$work/stale.xz")" ]
    check "the packages are installed" installed
    check "the warning names the index" has "WARNING: an unverified index is used"
    check "with what the signed release file lists" has "SHA256 $signed_sha, 376004 bytes"
    check "and what was taken" has "the copy taken: SHA256 $taken_sha, $(wc -c <"$work/stale.xz") bytes"
    check "and which packages' hashes are unverified" has "wine32:i386"
done
printf '%s\n' "$out" | sed -n '/WARNING/,$p' | sed 's/^/    | /'

echo "== the index stays rejected, but no package needs it"
run 3 '' ''
check "status 0 (status $status)" [ "$status" -eq 0 ]
check "the packages are installed" installed
check "no index is written" not_written
check "says nothing is taken from it" has "nothing is taken from those"

echo "== the mirror catches up on the second try"
run 1 1 ''
check "status 0 (status $status)" [ "$status" -eq 0 ]
check "apt-get update tried twice" [ "$(count 'apt-get update -q')" -eq 2 ]
check "the packages are installed" installed
check "no warning" lacks WARNING

echo "== a word it does not know"
run 3 1 '' --accept-everything
check "status 2 (status $status)" [ "$status" -eq 2 ]
check "runs no apt command" [ -z "$calls" ]

[ "$failures" -eq 0 ]
