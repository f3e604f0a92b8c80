#!/bin/sh
# check-setup.sh SOURCE: `vivu setup` against a stand-in apt-get whose index
# update always fails (a mirror mid-sync) and whose install cannot be
# resolved until it is asked for the release's own suite; against one that
# never installs; and against one whose lock another package manager holds
# at first. dpkg-query answers from what the stand-in installed.
set -u
vivu=$1/vivu
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")

cat >"$fake/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >>"$FAKE/calls"
case " $* " in
    *" update "*) echo "E: Failed to fetch .../Packages.xz  File has unexpected size. Mirror sync in progress?"; exit 100 ;;
esac
if [ "$APT_MODE" = locked ] && [ "$(grep -c ' install ' "$FAKE/calls")" -lt 2 ]; then
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
printf '#!/bin/sh\n' >"$fake/sleep"
chmod +x "$fake"/*

status=0
fail() { echo "FAIL: $*"; status=1; }

# setup_with MODE: runs the set-up; its output lands in $fake/out.
setup_with() {
    rm -f "$fake/calls" "$fake/installed"
    FAKE=$fake APT_MODE=$1 PATH="$fake:$PATH" "$vivu" setup >"$fake/out" 2>&1
}

setup_with recovers || fail "the set-up did not recover: $(cat "$fake/out")"
[ "$(grep -c ' update' "$fake/calls")" -eq 3 ] || fail "the index update was not tried three times"
grep ' install ' "$fake/calls" | sed -n 2p | grep -q -- "-t $codename " || fail "the second install did not ask for $codename's own suite"
grep -q 'warning: apt-get update failed' "$fake/out" || fail "the failed update was not reported as a warning"

if setup_with never; then fail "the set-up passed with nothing installed"; fi
grep -q 'still missing: .*wine32:i386' "$fake/out" || fail "what is still missing was not named"
grep -q 'held broken packages' "$fake/out" || fail "apt's own error was not shown"
setup_with locked || fail "the set-up did not wait for apt's lock: $(cat "$fake/out")"
grep -q 'waiting for another package manager' "$fake/out" || fail "the wait for apt's lock was not reported"
grep ' install ' "$fake/calls" | grep -q -- ' -t ' && fail "a held lock was taken for an install apt could not resolve"
[ "$status" -eq 0 ] || { echo "--- calls:"; cat "$fake/calls"; echo "--- output:"; cat "$fake/out"; }
exit "$status"
