#!/usr/bin/env bash
# Tries a filter-chain fragment of this folder in a private PipeWire daemon, the way a desktop
# would load it from ~/.config/pipewire/pipewire.conf.d/: plays a WAV file into the effect's sink
# and records what the effect passes on to a null sink standing in for the sound card.
#
#   try-private-daemon.sh LV2_DIR FRAGMENT SINK_NODE IN.wav OUT.wav
#
# LV2_DIR is the folder holding ve.lv2 (a build tree's lv2/ or an installed lib/lv2), SINK_NODE
# the fragment's capture node (effect_input.ve or effect_input.ve_m2s). Needs pipewire,
# pipewire-bin, wireplumber and dbus-daemon; touches no running PipeWire.
set -euo pipefail
if (($# != 5)); then
  sed -n '2,11p' "$0" >&2
  exit 2
fi
lv2_dir=$(realpath "$1") fragment=$(realpath "$2") sink=$3 input=$(realpath "$4") output=$5

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/config/pipewire/pipewire.conf.d" "$work/run"
cp "$fragment" "$work/config/pipewire/pipewire.conf.d/"
cat > "$work/config/pipewire/pipewire.conf.d/null-sink.conf" <<'CONF'
context.objects = [
    {   factory = adapter
        args = {
            factory.name     = support.null-audio-sink
            node.name        = "null-sink"
            node.description = "Null sink"
            media.class      = Audio/Sink
            audio.position   = [ FL FR ]
            priority.session = 5000
            object.linger    = true
        }
    }
]
CONF

export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LV2_PATH=$lv2_dir
read -r DBUS_SESSION_BUS_ADDRESS dbus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d' ')
export DBUS_SESSION_BUS_ADDRESS
pids+=("$dbus_pid")
pipewire > "$work/pipewire.log" 2>&1 &
pids+=($!)
sleep 1
wireplumber > "$work/wireplumber.log" 2>&1 &
pids+=($!)
sleep 3
pw-link -l

rate=$(soxi -r "$input" 2>/dev/null || echo 48000)
pw-record --target null-sink -P '{ stream.capture.sink = true }' --rate "$rate" --channels 2 \
  --format s16 "$output" &
recorder=$!
sleep 1
pw-play --target "$sink" "$input"
sleep 1
kill -INT "$recorder"
wait "$recorder" || true
echo "recorded $output"
