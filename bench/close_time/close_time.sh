#!/usr/bin/env bash
# How long the program takes to end once its main window has been closed, the goal being 300 ms at
# most. Starts the demo service and, on a private session bus, the program (offscreen, silent
# audio); once a song plays, closes the main window through MPRIS's Quit (which closes it as its
# close button does) and measures from the call to the end of the process. Repeats and prints
# every time and the median.
#   bench/close_time/close_time.sh BUILD_DIR [ROUNDS]
# BUILD_DIR holds the program (src/app/orvelle) and the demo service; run it through
# dbus-run-session when no private bus is wanted to be set up here:
#   dbus-run-session -- bench/close_time/close_time.sh build/release 10
set -euo pipefail
build=$(cd "$1" && pwd)
rounds=${2:-10}
cd "$(dirname "$0")/../.."
source scripts/lib/demo_service.sh

if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
  exec dbus-run-session -- "$0" "$@"
fi

trap stop_demo_service EXIT
start_demo_service "$build"

config=$(mktemp -d)
trap 'stop_demo_service; rm -rf "$config"' EXIT

now_ms() { date +%s%3N; }

times=()
for ((round = 1; round <= rounds; ++round)); do
  XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} ORVELLE_AUDIO_OUTPUT=${ORVELLE_AUDIO_OUTPUT-null} ORVELLE_SERVICE_URL=$demo_service_url \
    "$build/src/app/orvelle" 2>/dev/null &
  pid=$!
  for ((i = 0; i < 200; ++i)); do
    [[ $(playerctl --player=orvelle status 2>/dev/null || true) == Playing ]] && break
    sleep 0.1
  done
  start=$(now_ms)
  dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.orvelle /org/mpris/MediaPlayer2 \
    org.mpris.MediaPlayer2.Quit
  wait "$pid" || true
  end=$(now_ms)
  times+=($((end - start)))
  echo "round $round: ended ${times[-1]} ms after the close"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "median: $median ms (goal: at most 300 ms)"
