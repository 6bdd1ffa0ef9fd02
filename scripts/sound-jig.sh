#!/bin/sh
# Runs a command with a private PulseAudio server as its sound card: a null sink at 48 kHz whose
# monitor is the default source, so that what is played comes back recorded, both channels
# from one stream. The server's socket and state stay in FOLDER; the server is stopped by its
# process id, and the Wine server of $WINEPREFIX after the command.
# usage: sound-jig.sh FOLDER COMMAND...
set -u
folder=$(mkdir -p "$1" && cd "$1" && pwd)
shift
run="$folder/run"
rm -rf "$run"
mkdir -m 700 "$run" "$run/config"
socket="$run/pulse/native"
# A unix socket's path has room for 107 bytes.
if [ ${#socket} -gt 107 ]; then
  echo "sound-jig: the socket path $socket is too long for a unix socket; build in a shorter folder" >&2
  exit 1
fi
cat >"$folder/jig.pa" <<'PA'
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=jig rate=48000 format=s16le channels=2
set-default-sink jig
set-default-source jig.monitor
PA
# Sound runs in real time: on a busy machine a late process leaves a gap in what is played. Both
# the server and the command run ahead of ordinary processes where that is allowed.
ahead=""
nice -n -10 true 2>/dev/null && ahead="nice -n -10"
XDG_RUNTIME_DIR="$run" XDG_CONFIG_HOME="$run/config" HOME="$run" $ahead pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -F "$folder/jig.pa" \
  </dev/null >"$folder/pulseaudio.log" 2>&1 &
server=$!
tries=0
until [ -S "$socket" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $server 2>/dev/null; then
    echo "sound-jig: PulseAudio did not start; its log:" >&2
    cat "$folder/pulseaudio.log" >&2
    kill $server 2>/dev/null
    exit 1
  fi
  sleep 0.1
done
export PULSE_SERVER="unix:$socket"
$ahead "$@"
status=$?
[ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
kill $server
wait $server 2>/dev/null
exit $status
