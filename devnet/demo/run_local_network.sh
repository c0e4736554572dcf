#!/usr/bin/env bash
# A whole network on this machine: the development server, three headless
# clients on 127.0.0.2-127.0.0.4 and the windowed client on 127.0.0.5, each
# with its own folder under out/demo/. Once the windowed client has joined,
# the sample detailed quake bulletin is published. Ctrl+C ends everything
# this script started.
#
#   bash devnet/demo/run_local_network.sh [--no-build] [--bulletin FILE]
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$top"

build=1
bulletin="$top/devnet/samples/quake_detail.txt"
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --bulletin) bulletin="$2"; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

if [ "$build" = 1 ]; then
  bash scripts/setup
  bash scripts/build
fi
program="${ORVA_DEMO_PROGRAMS:-$top/out/program}"  # the installed program folder
demo="$top/out/demo"
mkdir -p "$demo"

pids=()
cleanup() {
  trap - INT TERM EXIT
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  echo "network stopped; logs are in $demo"
}
trap cleanup INT TERM EXIT

# The server listens on every address (the clients' built-in server is
# 127.0.0.1) and opens its own connections from 127.0.0.10: peers refuse
# links that come from 127.0.0.1.
"$program/orva_server" --port 6910 --admin-port 6920 --source 127.0.0.10 \
  --keys "$top/devnet/keys" >"$demo/server.log" 2>&1 &
pids+=($!)
sleep 1

for n in 2 3 4; do
  mkdir -p "$demo/peer$n"
  "$program/Orva_Client" --headless --folder "$demo/peer$n" --bind "127.0.0.$n" \
    --servers 127.0.0.1 >"$demo/peer$n.log" 2>&1 &
  pids+=($!)
  sleep 2
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  echo "No display found: the windowed client runs on the virtual display $DISPLAY."
fi
mkdir -p "$demo/window"
"$program/Orva_Client" --folder "$demo/window" --bind 127.0.0.5 --servers 127.0.0.1 \
  --log-stdout > >(tee "$demo/window.log") 2>&1 &
pids+=($!)

echo "waiting for the windowed client to join..."
joined=0
for _ in $(seq 1 90); do
  if grep -q "参加処理が完了しました" "$demo/window.log" 2>/dev/null; then joined=1; break; fi
  sleep 1
done
if [ "$joined" = 1 ]; then
  "$program/orva_publish" --admin-port 6920 --status || true
  echo "publishing $(basename "$bulletin")"
  "$program/orva_publish" --admin-port 6920 "$bulletin" || echo "the bulletin reached no peer (see $demo/server.log)"
else
  echo "the windowed client did not join within 90 s (see $demo/window.log)"
fi
echo "network running; Ctrl+C ends it"
wait
