#!/bin/sh
# Runs a command with a private PulseAudio daemon whose one output is a null sink, so that sound tests
# play through a real audio device headless; PELLORAN_PULSE_MONITOR names the sink's monitor source,
# from which parec records what was played. Without pulseaudio the command runs as it is (and its
# device tests skip). The daemon is stopped, and its runtime folder removed, when the command ends.
set -u
if ! command -v pulseaudio >/dev/null 2>&1 || ! command -v pactl >/dev/null 2>&1; then
  exec "$@"
fi
dir=$(mktemp -d /tmp/pelloran-pulse.XXXXXX) || exec "$@"
chmod 700 "$dir"
export XDG_RUNTIME_DIR="$dir"
export HOME="$dir"
unset PULSE_SERVER
sink=pelloran_test
pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit=no \
  -L module-native-protocol-unix -L "module-null-sink sink_name=$sink" >"$dir/daemon.log" 2>&1
tries=0
until pactl info >/dev/null 2>&1; do
  tries=$((tries + 1))
  if [ "$tries" -gt 50 ]; then
    echo "with-pulse.sh: pulseaudio did not start; running without it" >&2
    break
  fi
  sleep 0.1
done
keeper=
if pactl info >/dev/null 2>&1; then
  export PELLORAN_PULSE_MONITOR="$sink.monitor"
  # An idle null sink renders in blocks of two seconds, so a new stream may wait that long; a
  # low-latency stream of silence keeps it rendering in small blocks, as a sound card would.
  pacat --playback -d "$sink" --latency-msec=20 --raw </dev/zero >/dev/null 2>&1 &
  keeper=$!
  sleep 2.5  # the block that was under way when the stream began
fi
"$@"
rc=$?
[ -n "$keeper" ] && kill "$keeper" 2>/dev/null && wait "$keeper" 2>/dev/null
pulseaudio --kill >/dev/null 2>&1
n=0
while [ -e "$dir/pulse/pid" ] && [ "$n" -lt 30 ]; do
  sleep 0.1
  n=$((n + 1))
done
rm -rf "$dir" 2>/dev/null || { sleep 0.5; rm -rf "$dir"; }
exit $rc
