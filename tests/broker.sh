#!/usr/bin/env bash
# The thermostat on a real MQTT broker: Debian's mosquitto, started here on
# loopback with a plain listener and a TLS one that wants a password, and
# mosquitto_sub and mosquitto_pub on Home Assistant's side. The temperature
# comes through the real libsensors, from a hwmon folder of the test's laid
# over /sys/class in a mount namespace of the program's own (so: as root).
#
#   broker.sh PROGRAM RECORDING-IO.DLL
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
program_arguments "$@"
command -v mosquitto >/dev/null || { echo "SKIP: no mosquitto here (tools/setup test installs it)"; exit 77; }
# A mount namespace whose mounts stay in it, in a chroot too (whose root is
# no mount point to make private): only /sys's are made the namespace's own.
# (A command, not a function, so that $! is the program's own process.)
namespaced=(unshare -m --propagation unchanged sh -c 'mount --make-rslave /sys && mount --bind "$0" /sys/class && exec "$@"')
"${namespaced[@]}" / true 2>/dev/null || { echo "SKIP: the sensor needs a mount namespace of its own, which takes root"; exit 77; }

work=$(mktemp -d)
pids=()
trap 'kill -9 "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
mkdir bin && cp "$ventrolik" "$recording" bin/
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
plain=$(free_port) tls=$(free_port) elsewhere=$(free_port)

# A CA and the broker's certificate from it; another CA; a login.
certificate() { # NAME CN [SIGNER [NAMES]]
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$1.key" -out "$1.csr" 2>/dev/null
    if [ -n "${3:-}" ]; then
        openssl x509 -req -in "$1.csr" -CA "$3.crt" -CAkey "$3.key" -CAcreateserial -days 2 -out "$1.crt" \
            -extfile <(echo "subjectAltName=${4:-DNS:localhost,IP:127.0.0.1}") 2>/dev/null
    else # a CA as OpenSSL 3.5 wants one: version 3, and saying it is a CA
        openssl x509 -req -in "$1.csr" -signkey "$1.key" -days 2 -out "$1.crt" \
            -extfile <(printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n') 2>/dev/null
    fi
}
certificate ca "Test CA" && certificate server localhost ca && certificate other "Other CA"
certificate elsewhere elsewhere ca DNS:elsewhere # from the right CA, for another host
mosquitto_passwd -c -b passwd fan s3cret
# The login as a Windows editor may save it: a BOM, and a blank after the user.
printf '\xef\xbb\xbffan \ns3cret\n' >login && printf 'fan\nwrong\n' >wrong-login
# It stays the user this is, to read the files here.
cat >mosquitto.conf <<EOF
user $(id -un)
log_type all
per_listener_settings true
persistence false
listener $plain 127.0.0.1
allow_anonymous true
listener $tls 127.0.0.1
cafile $work/ca.crt
certfile $work/server.crt
keyfile $work/server.key
password_file $work/passwd
allow_anonymous false
listener $elsewhere 127.0.0.1
cafile $work/ca.crt
certfile $work/elsewhere.crt
keyfile $work/elsewhere.key
allow_anonymous true
EOF
start_broker() {
    mosquitto -c mosquitto.conf >>broker.log 2>&1 &
    broker=$! && pids+=("$broker")
    eventually 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$plain" 2>/dev/null || fail "mosquitto did not start: $(tail -n 3 broker.log)"
}
# What Home Assistant's side sees, from now on, retained or not: one
# subscriber at a time. `mark` makes what `seen` looks at start after what
# came so far, so that each step's evidence is its own.
watch() {
    [ -z "${watcher:-}" ] || { kill "$watcher" && wait "$watcher"; } 2>/dev/null || true
    : >seen && from=0
    mosquitto_sub -p "$plain" -v -t 'ventrolik/#' -t 'homeassistant/#' >seen &
    watcher=$! && pids+=("$watcher")
    sleep 0.3
}
mark() { from=$(wc -l <seen); }
seen() { eventually 10 bash -c 'tail -n +$(('"$from"' + 1)) seen | grep -qxF -- "$0"' "$1" || fail "Home Assistant's side did not see: $1"; }
said() { eventually 10 grep -qF -- "$1" stderr || fail "the thermostat did not say: $1"; }
lines() { # BYTE: the last write through IO.DLL
    eventually 10 bash -c "[ \"\$(tail -n 1 calls)\" = 'PortOut 888 $1' ]" || fail "the lines are not $1 ($(tail -n 1 calls))"
}
fan() { # on|off
    lines "$([ "$1" = on ] && echo 1 || echo 0)"
}

# The sensors: a hwmon device as the kernel lists one, 'ventrotest', with
# two temperatures.
mkdir -p class/hwmon/hwmon0 && echo ventrotest >class/hwmon/hwmon0/name
temperature() { # MILLIDEGREES [NUMBER]
    echo "$1" >class/hwmon/hwmon0/temp${2:-1}_input.new && mv class/hwmon/hwmon0/temp${2:-1}_input{.new,}
}
temperature 30000 && temperature 30000 2
thermostat() { # BROKER-OPTIONS...
    : >stderr && : >calls
    IO_RECORD_FILE=$work/calls "${namespaced[@]}" "$work/class" bin/ventrolik thermostat --sensor ventrotest-virtual-0/temp1 --on 50 --off 40 --every 1 --min-run 0 \
        --node attic "$@" 2>stderr &
    program=$! && pids+=("$program")
}

start_broker
watch
thermostat --broker "mqtt://127.0.0.1:$plain"
said "broker: connected to mqtt://127.0.0.1:$plain as attic"
seen "ventrolik/attic/availability online"
seen "ventrolik/attic/fan OFF"
seen "ventrolik/attic/mode auto"
seen 'ventrolik/attic/temperature {"celsius":30.0,"sensor":"ventrotest-virtual-0/temp1"}'
fan off
echo "ok: online, with its state and temperature"

configs() { mosquitto_sub -p "$plain" -v -t 'homeassistant/+/attic/+/config' --retained-only -W 1 2>/dev/null || true; }
[ "$(configs | grep -c '"availability_topic":"ventrolik/attic/availability"')" = 4 ] ||
    fail "not the four discovery configs, retained: $(configs)"
before=$(grep -c /config seen)
mosquitto_pub -p "$plain" -t homeassistant/status -m online
eventually 10 bash -c "[ \$(grep -c /config seen) -ge $((before + 4)) ]" || fail "no configs after Home Assistant's start"
echo "ok: the discovery configs, retained, and again at Home Assistant's start"

mark && mosquitto_pub -p "$plain" -t ventrolik/attic/fan/set -m ON && fan on && seen "ventrolik/attic/mode on"
mark && mosquitto_pub -p "$plain" -t ventrolik/attic/fan/set -m OFF && fan off && seen "ventrolik/attic/mode off"
temperature 55000 && fan on && said "fan on: ventrotest-virtual-0/temp1 at 55.0 °C (on at 50.0)"
temperature 30000 && fan off
rm class/hwmon/hwmon0/temp1_input && fan on && said "ventrotest-virtual-0/temp1 fails"
temperature 30000 && fan off
mark && mosquitto_pub -p "$plain" -t ventrolik/attic/mode/set -m auto && seen "ventrolik/attic/mode auto"
mosquitto_pub -p "$plain" -t ventrolik/attic/fan/set -m maybe
said "broker: ignoring 'maybe' on ventrolik/attic/fan/set: it takes ON or OFF"
fan off
echo "ok: on, off and auto from the broker; held off, the fan goes on all the same when hot or when the sensor fails; a wrong command ignored"

# The broker stops: the thermostat goes on; it comes back: everything is
# there again, retained.
kill "$broker" && wait "$broker" 2>/dev/null || true
said "broker: cannot reach mqtt://127.0.0.1:$plain"
temperature 55000 && fan on
start_broker
eventually 40 bash -c "[ \$(grep -c 'broker: connected' stderr) = 2 ]" || fail "not connected again"
[ "$(grep -c 'broker: cannot reach' stderr)" = 1 ] || fail "the lost broker was said more than once"
watch
seen "ventrolik/attic/availability online"
seen "ventrolik/attic/fan ON"
[ "$(configs | grep -c /config)" = 4 ] || fail "no discovery configs after the broker's restart"
echo "ok: switching on without the broker, said once; all there again after its restart"

mark
kill -9 "$program" && { wait "$program"; } 2>/dev/null || true
seen "ventrolik/attic/availability offline"
echo "ok: killed, the broker says offline for it"

# TLS with a login, and a command left retained, which a start must not
# replay; then a wrong password and a CA that didn't sign the broker's
# certificate, each said once, without a busy retry.
watch
temperature 30000
mosquitto_pub -p "$plain" -r -t ventrolik/attic/fan/set -m ON
thermostat --broker "mqtts://127.0.0.1:$tls" --broker-ca ca.crt --broker-login login
said "broker: connected to mqtts://127.0.0.1:$tls as attic"
said "broker: ignoring a retained 'ON' on ventrolik/attic/fan/set"
seen "ventrolik/attic/fan OFF"
seen "ventrolik/attic/availability online"
mosquitto_pub -p "$plain" -r -n -t ventrolik/attic/fan/set
mark
kill -TERM "$program" && wait "$program" || fail "the thermostat ended with status $?"
fan on
seen "ventrolik/attic/availability offline"
grep -qE ": Client ventrolik-attic disconnected\.$" broker.log || fail "no clean leave: $(grep ventrolik-attic broker.log | tail -n 3)"
echo "ok: over TLS with a password; a retained command not replayed; SIGTERM leaves the fan on, says offline and leaves the broker cleanly"

# Everything the thermostat published went at QoS 0.
published=$(grep "Received PUBLISH from ventrolik-attic" broker.log || true)
[ -n "$published" ] && ! grep -v "(d0, q0," <<<"$published" || fail "published at another QoS, or not at all"
echo "ok: everything published at QoS 0"

# TLS files that can't be taken are refused at start, naming the file.
for wrong in "--broker-ca missing.crt|cannot take --broker-ca 'missing.crt': No such file or directory" \
    "--broker-ca server.key|cannot take --broker-ca 'server.key': it holds no certificate in PEM" \
    "--broker-cert server.crt --broker-key ca.crt|cannot take --broker-key 'ca.crt': it holds no private key"; do
    read -ra options <<<"${wrong%|*}"
    status=0
    bin/ventrolik thermostat --broker "mqtts://127.0.0.1:$tls" "${options[@]}" 2>stderr || status=$?
    [ "$status" = 2 ] && grep -qF "${wrong#*|}" stderr || fail "not refused at start ($status): $(cat stderr)"
done
echo "ok: a missing CA, a key given as the CA, and a certificate given as the key, refused at start"

# Two programs with one node id take the session from each other: said,
# and tried ever more slowly.
dups=()
for copy in 1 2; do
    IO_RECORD_FILE=$work/calls-dup bin/ventrolik thermostat --broker "mqtt://127.0.0.1:$plain" --node dup 2>"dup$copy" &
    dups+=($!) && pids+=($!)
done
eventually 30 grep -qF "another client uses the node id 'dup'" dup1 dup2 || fail "the taken session not said: $(cat dup1 dup2)"
before=$(grep -c "as ventrolik-dup " broker.log)
sleep 6
[ $(($(grep -c "as ventrolik-dup " broker.log) - before)) -le 5 ] || fail "no back-off: $(grep -c "as ventrolik-dup " broker.log) connections"
kill -9 "${dups[@]}" && { wait "${dups[@]}"; } 2>/dev/null || true
echo "ok: two programs with one node id say why, and back off"

for wrong in "mqtts://127.0.0.1:$tls --broker-ca ca.crt --broker-login wrong-login|refused: not authorised;" \
    "mqtts://127.0.0.1:$tls --broker-ca other.crt --broker-login login|TLS: " \
    "mqtt://127.0.0.1:$tls|the broker closed the connection at once (does port $tls want mqtts://?)" \
    "mqtts://127.0.0.1:$elsewhere --broker-ca ca.crt|TLS: the broker's certificate is not for '127.0.0.1'"; do
    read -ra options <<<"${wrong%|*}"
    thermostat --broker "${options[@]}"
    said "broker: cannot reach ${options[0]}: ${wrong#*|}"
    # Debian 13's libmosquitto gives no reason for a failed handshake.
    [ "${wrong#*|}" != "TLS: " ] || said "(is 'other.crt' the CA that signed the broker's certificate?)"
    fan off
    tries=$(grep -c "New client connected\|New connection from" broker.log)
    sleep 3
    [ $(($(grep -c "New client connected\|New connection from" broker.log) - tries)) -le 3 ] ||
        fail "a busy retry: $(tail -n 5 broker.log)"
    [ "$(grep -c 'broker: cannot reach' stderr)" = 1 ] || fail "said more than once: $(cat stderr)"
    grep 'broker: cannot reach' stderr
    kill -9 "$program" && { wait "$program"; } 2>/dev/null || true
done
echo "ok: a wrong password, a wrong CA, a certificate for another host and plain MQTT to a TLS port refused, with the reason, once, retried slowly"

# TLS to a port where no broker listens: said, and tried again after a
# pause, not on the dead socket in a busy loop.
closed=$(free_port)
thermostat --broker "mqtts://127.0.0.1:$closed" --broker-ca ca.crt
# (Debian 12's libmosquitto doesn't see the refusal; the program says
# what it does see.)
said "broker: cannot reach mqtts://127.0.0.1:$closed: "
grep 'broker: cannot reach' stderr
sleep 3
ticks=$(awk '{ print $14 + $15 }' "/proc/$program/stat")
[ "$ticks" -lt 50 ] || fail "busy while the broker can't be reached: $ticks ticks of CPU in 3 s"
kill -9 "$program" && { wait "$program"; } 2>/dev/null || true
echo "ok: TLS to a closed port said, and no busy loop ($ticks ticks of CPU)"

# Three fans from a setting file, one node: two on temperatures of their
# own, one a switch. The configs the node's one fan left are taken away.
cat >rack.toml <<EOF
every = 1
[broker]
url = "mqtt://127.0.0.1:$plain"
node = "attic"
name = "Attic rack"
[[fan]]
id = "exhaust"
sensors = ["ventrotest-virtual-0/temp1"]
on = 50
off = 40
min_run = 0
[[fan]]
id = "intake"
line = "D2"
sensors = ["ventrotest-virtual-0/temp2"]
on = 50
off = 40
min_run = 0
[[fan]]
id = "door"
line = "D1"
EOF
"${namespaced[@]}" "$work/class" bin/ventrolik thermostat --config rack.toml --check | grep -qF "door (door) on D1: no sensor" ||
    fail "--check did not list the fans"
watch && : >stderr && : >calls
IO_RECORD_FILE=$work/calls "${namespaced[@]}" "$work/class" bin/ventrolik thermostat --config rack.toml 2>stderr &
program=$! && pids+=("$program")
said "broker: taking away homeassistant/fan/attic/fan/config"
lines 0 && seen "ventrolik/attic/intake/fan OFF"
temperature 55000 2 && lines 4 && said "intake: fan on: ventrotest-virtual-0/temp2 at 55.0 °C"
mosquitto_pub -p "$plain" -t ventrolik/attic/door/fan/set -m ON && lines 6 && seen "ventrolik/attic/door/fan ON"
temperature 55000 && lines 7
temperature 30000 2 && lines 3
rm class/hwmon/hwmon0/temp2_input && lines 7
eventually 10 grep -q '^ventrolik/attic/intake/problem {"state":"ON","why":"ventrotest-virtual-0/temp2 fails' seen ||
    fail "no problem said for the intake's failing sensor"
[ "$(configs | grep -c '"identifiers":\["ventrolik_attic"\]')" = 9 ] && ! configs | grep -q "^homeassistant/fan/attic/fan/config" ||
    fail "not the three fans' nine configs alone: $(configs | cut -c 1-60)"
kill -TERM "$program" && wait "$program" || fail "the thermostat ended with status $?"
lines 7
echo "ok: three fans from a setting file, each on its line by its own sensor or command; a failing sensor's problem said; the configs of before taken away; SIGTERM puts all on"
