#!/usr/bin/env bash
# Multi-host network test: the server and five headless clients, each in a
# network namespace of its own (own loopback, so plugin ports never
# collide), linked by veth pairs to a bridge in a hub namespace. The server
# publishes the sample detailed quake bulletin; every client must accept it
# exactly once. Nothing leaves the namespaces; they are removed at the end.
#
#   multihost_test.sh PROGRAM_DIR SOURCE_DIR
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces).
set -uo pipefail
program="${1:?program folder}"
source="${2:?source folder}"

if [ "$(id -u)" != 0 ]; then
  echo "SKIP: network namespaces need root"
  exit 77
fi
tag="ov$$"
if ! ip netns add "${tag}probe" 2>/dev/null; then
  echo "SKIP: cannot create network namespaces here"
  exit 77
fi
ip netns del "${tag}probe"

work="$(mktemp -d)"
hub="${tag}h"
spaces=("${tag}s" "${tag}c1" "${tag}c2" "${tag}c3" "${tag}c4" "${tag}c5")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  sleep 1
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  for ns in "${spaces[@]}" "$hub"; do ip netns del "$ns" 2>/dev/null; done
  [ -n "${KEEP_LOGS:-}" ] && echo "logs in $work" || rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$work"/*.log; do echo "--- $f"; tail -n 40 "$f"; done
  exit 1
}

# Hub with a bridge; one veth pair per host, 10.213.0.1 the server,
# 10.213.0.11-15 the clients.
ip netns add "$hub" || fail "namespace $hub"
ip -n "$hub" link add br0 type bridge
ip -n "$hub" link set br0 up
i=0
for ns in "${spaces[@]}"; do
  ip netns add "$ns" || fail "namespace $ns"
  ip -n "$hub" link add "v$i" type veth peer name eth0 netns "$ns"
  ip -n "$hub" link set "v$i" master br0 up
  addr=$([ "$i" = 0 ] && echo 10.213.0.1 || echo "10.213.0.$((10 + i))")
  ip -n "$ns" addr add "$addr/24" dev eth0
  ip -n "$ns" link set eth0 up
  ip -n "$ns" link set lo up
  i=$((i + 1))
done

ip netns exec "${tag}s" "$program/orva_server" --bind 10.213.0.1 --admin-port 6920 \
  --region-interval 0 --keys "$source/devnet/keys" >"$work/server.log" 2>&1 &
pids+=($!)
sleep 1

# Each client: its own folder, every log level shown.
for n in 1 2 3 4 5; do
  folder="$work/client$n"
  mkdir -p "$folder"
  printf '[System/システム]\r\nLogLevel=0\r\n[Area/地域]\r\nArea_Code=%s\r\n' $((100 + 5 * n)) |
    iconv -f UTF-8 -t CP932 >"$folder/Orva_Client.ini"
  ip netns exec "${tag}c$n" "$program/Orva_Client" --headless --log-stdout --folder "$folder" \
    --servers 10.213.0.1 >"$work/client$n.log" 2>&1 &
  pids+=($!)
  # One after the other, so that later ones find earlier ones in the list.
  for _ in $(seq 1 100); do
    [ "$(grep -c 'joined (area' "$work/server.log")" -ge "$n" ] && break
    sleep 0.2
  done
  [ "$(grep -c 'joined (area' "$work/server.log")" -ge "$n" ] || fail "client $n did not join"
done
sleep 3

publish=$(ip netns exec "${tag}s" "$program/orva_publish" --admin-port 6920 \
  "$source/devnet/samples/quake_detail.txt" 2>&1) || fail "publish: $publish"
echo "$publish" | sed 's/^\(.\{160\}\).*/\1.../'

accepted() { grep -c '署名検証に成功しました' "$work/client$1.log"; }
for _ in $(seq 1 100); do
  all=1
  for n in 1 2 3 4 5; do [ "$(accepted $n)" -ge 1 ] || all=0; done
  [ "$all" = 1 ] && break
  sleep 0.2
done
sleep 2  # copies still travelling between the clients
for n in 1 2 3 4 5; do
  count=$(accepted $n)
  [ "$count" = 1 ] || fail "client $n accepted the bulletin $count times"
done
echo "PASS: five clients accepted the bulletin once each"
