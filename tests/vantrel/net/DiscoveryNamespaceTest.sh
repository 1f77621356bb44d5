#!/usr/bin/env bash
# A search of the local network finds a server, on a network this test makes
# for itself: two network namespaces joined by a veth pair, the server in
# one, the search in the other. The search's broadcast goes to the only
# network its namespace has, so nothing leaves the machine. Skipped (77)
# where namespaces cannot be made (no root, no permission).
#   DiscoveryNamespaceTest.sh <vantrel-server> <SearchProbe>
# Needs ip (iproute2).
set -uo pipefail
set -m

server=$1 probe=$2
id=vt$$
a=${id}a b=${id}b
work=$(mktemp -d)
pid=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    # Deleting a namespace deletes the veth end inside it, and so the pair.
    ip netns del "$a" 2>/dev/null
    ip netns del "$b" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work/server.txt" 2>/dev/null; exit 1; }

command -v ip >/dev/null || { echo "SKIP: no ip command"; exit 77; }
ip netns add "$a" 2>/dev/null && ip netns add "$b" 2>/dev/null ||
    { echo "SKIP: cannot make network namespaces here"; exit 77; }
ip link add "${id}x" type veth peer name "${id}y" 2>/dev/null ||
    { echo "SKIP: cannot make a veth pair here"; exit 77; }
ip link set "${id}x" netns "$a" && ip link set "${id}y" netns "$b" || fail "moving the veth ends"
ip -n "$a" addr add 10.213.77.1/24 broadcast 10.213.77.255 dev "${id}x" || fail "address in $a"
ip -n "$b" addr add 10.213.77.2/24 broadcast 10.213.77.255 dev "${id}y" || fail "address in $b"
ip -n "$a" link set lo up && ip -n "$a" link set "${id}x" up || fail "links up in $a"
ip -n "$b" link set lo up && ip -n "$b" link set "${id}y" up || fail "links up in $b"

# The server on every interface of its namespace: the broadcast arrives there.
ip netns exec "$a" "$server" --port 0 --name "Namespace server" --track KestrelPass >"$work/server.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q 'listening on \*:' "$work/server.txt" && break
    kill -0 "$pid" 2>/dev/null || fail "the server ended"
    sleep 0.1
done
grep -q 'listening on \*:' "$work/server.txt" || fail "the server did not start"
port=$(grep -oE 'listening on \*:[0-9]+' "$work/server.txt" | grep -oE '[0-9]+$')

out=$(ip netns exec "$b" "$probe" 27441 2) || fail "the search found nothing: $out"
echo "$out"
grep -qx "found 10.213.77.1 $port 0/8 KestrelPass Namespace server" <<<"$out" || fail "the search found '$out'"

kill -TERM "$pid"
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the server's exit status $rc after SIGTERM"
echo "PASS"
