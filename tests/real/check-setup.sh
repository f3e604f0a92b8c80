#!/bin/sh
# check-setup.sh SOURCE: `vivu setup` against a stand-in apt-get whose index
# update always fails (a mirror mid-sync) and whose install cannot be
# resolved until it is asked for the release's own suite; against one that
# never installs; against one whose lock another package manager holds at
# first, and always. dpkg-query answers from what the stand-in installed.
# The driver runs from a tree of its own, as root, and, as sudo runs it in
# a user's clone, in a tree that user owns.
set -u
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
tree=$fake/tree
mkdir "$tree" && cp "$1/vivu" "$tree/"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")

cat >"$fake/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >>"$FAKE/calls"
case " $* " in
    *" update "*) echo "E: Failed to fetch .../Packages.xz  File has unexpected size. Mirror sync in progress?"; exit 100 ;;
esac
if [ "$APT_MODE" = held ] || { [ "$APT_MODE" = locked ] && [ "$(grep -c ' install ' "$FAKE/calls")" -lt 2 ]; }; then
    echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)"
    exit 100
fi
if [ "$APT_MODE" != never ] && [ "$(grep -c ' install ' "$FAKE/calls")" -ge 2 ]; then
    for p; do echo "$p" >>"$FAKE/installed"; done
    exit 0
fi
echo "E: Unable to correct problems, you have held broken packages."
exit 100
STANDIN
cat >"$fake/dpkg-query" <<'STANDIN'
#!/bin/sh
for p; do :; done
grep -qx -- "$p" "$FAKE/installed" 2>/dev/null && printf 'install ok installed'
STANDIN
printf '#!/bin/sh\necho i386\n' >"$fake/dpkg"
printf '#!/bin/sh\necho 0\n' >"$fake/id"
printf '#!/bin/sh\necho "$1" >>"$FAKE/slept"\n' >"$fake/sleep"
printf '#!/bin/sh\necho "$TREE_OWNER"\n' >"$fake/stat"
chmod +x "$fake"/*

status=0
fail() { echo "FAIL: $*"; status=1; }

# setup_with MODE [TREE_OWNER]: runs the set-up; its output lands in $fake/out.
setup_with() {
    rm -rf "$fake/calls" "$fake/installed" "$fake/slept" "$tree/build"
    FAKE=$fake APT_MODE=$1 TREE_OWNER=${2:-0} TMPDIR=$fake PATH="$fake:$PATH" "$tree/vivu" setup >"$fake/out" 2>&1
}

setup_with recovers || fail "the set-up did not recover: $(cat "$fake/out")"
[ "$(grep -c ' update' "$fake/calls")" -eq 3 ] || fail "the index update was not tried three times"
grep ' install ' "$fake/calls" | sed -n 2p | grep -q -- "-t $codename " || fail "the second install did not ask for $codename's own suite"
grep -q 'warning: apt-get update failed' "$fake/out" || fail "the failed update was not reported as a warning"

if setup_with never; then fail "the set-up passed with nothing installed"; fi
grep -q 'still missing: .*wine32:i386' "$fake/out" || fail "what is still missing was not named"
grep -q 'held broken packages' "$fake/out" || fail "apt's own error was not shown"
setup_with locked || fail "the set-up did not wait for apt's lock: $(cat "$fake/out")"
grep -q 'waiting for it, ten minutes at most' "$fake/out" || fail "the wait for apt's lock was not reported"
grep ' install ' "$fake/calls" | grep -q -- ' -t ' && fail "a held lock was taken for an install apt could not resolve"
grep -q 'Lock::Timeout' "$fake/calls" && fail "apt-get was given a wait for its lock of its own"

# Ten minutes for the lock in all, and the 15 s between the index update's tries.
if setup_with held; then fail "the set-up passed with apt's lock never let go"; fi
[ "$(grep -c 'waiting for it' "$fake/out")" -eq 1 ] || fail "the wait for apt's lock was not reported once"
waited=$(awk '{ s += $1 } END { print s }' "$fake/slept")
[ "$waited" -ge 600 ] && [ "$waited" -le 615 ] || fail "the set-up slept $waited s, not ten minutes and 15 s"

if setup_with never 1000; then fail "the set-up passed with nothing installed in a user's tree"; fi
[ "$(ls -A "$tree")" = vivu ] || fail "the set-up as root left $(ls -A "$tree" | xargs) in a user's tree"
grep -q 'held broken packages' "$fake/out" || fail "apt's own error was not shown from a log outside the tree"
[ "$status" -eq 0 ] || { echo "--- calls:"; cat "$fake/calls"; echo "--- output:"; cat "$fake/out"; }
exit "$status"
