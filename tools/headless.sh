#!/usr/bin/env bash
# Runs a command inside a private headless desktop: an X server (Xvfb), a PulseAudio server whose default sink is
# a null sink, and a tray host. Everything started here is stopped again when the command ends.
# Exports DISPLAY, XDG_RUNTIME_DIR, PULSE_SERVER, CW_NULL_SINK and CW_HEADLESS_DIR to the command.
set -uo pipefail

[[ $# -gt 0 ]] || { echo "usage: $0 command [args...]" >&2; exit 2; }

work=$(mktemp -d /tmp/cw-headless.XXXXXX)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    if [[ -n "${PULSE_PID:-}" ]]; then kill "$PULSE_PID" 2>/dev/null; fi
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display number nobody uses.
display=
for n in $(seq 90 190); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=$n; break; fi
done
[[ -n "$display" ]] || { echo "headless: no free X display" >&2; exit 1; }
export DISPLAY=":$display"
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "headless: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }

# PulseAudio in user mode with its own runtime folder, never suspending its null sink.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export HOME="${HOME:-$work}"
export CW_NULL_SINK="cw_null_$display"
pulseaudio --daemonize=no -n --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pulse/native" \
    --load="module-null-sink sink_name=$CW_NULL_SINK sink_properties=device.description=CW_Null" \
    --load="module-always-sink" >"$work/pulse.log" 2>&1 &
PULSE_PID=$!
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
if pactl info >/dev/null 2>&1; then
    pactl set-default-sink "$CW_NULL_SINK"
else
    echo "headless: PulseAudio did not start; audio tests will see no output device" >&2
    cat "$work/pulse.log" >&2
fi

# A tray host, so the notification-area icon has somewhere to go.
trayer --edge bottom --align right --widthtype pixel --width 200 --height 32 >"$work/trayer.log" 2>&1 &
pids+=($!)

export CW_HEADLESS_DIR="$work"
"$@"
