#!/usr/bin/env bash
# Starts a headless Wayland desktop for the tests and keeps it until this script's standard input
# closes (the test ends, or dies); or, given a command, runs that command in it as the desktop's
# user and ends with it. Usage: session.sh sway|mutter|bare|pipewire [-- COMMAND ARGUMENT...]
#   sway:   headless sway with Xwayland, PipeWire, WirePlumber, xdg-desktop-portal with its wlr
#           and gtk backends;
#   mutter: headless mutter with a 1920x1080 virtual monitor and Xwayland, PipeWire, WirePlumber,
#           xdg-desktop-portal with its GNOME backend, and the permission store holding a restore
#           token for that monitor;
#   bare:   headless sway with Xwayland and a session bus that starts no service: no portal;
#   pipewire: PipeWire and WirePlumber alone, no desktop.
# It prints, on standard output, lines KEY=VALUE that a client of the desktop needs in its
# environment, then "ready <milliseconds it took>". When the desktop cannot start here it prints
# "skip <reason>" and exits with 77. Everything runs as an unprivileged user (sway refuses root:
# "nobody" when started as root), in a dbus-run-session of its own, with a fresh 0700 runtime
# folder and a fresh home; everything it started is ended when it ends.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
script="$here/$(basename "$0")"

skip() {
    echo "skip $*"
    exit 77
}

now_ms() {
    date +%s%3N
}

# ---- inside the session: runs as the unprivileged user, under dbus-run-session ----

pids=()
logs=""

stop_all() {
    local pid
    # Newest first: the portal before the compositor it talks to.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null
    done
    for _ in $(seq 40); do
        local alive=0
        for pid in "${pids[@]}"; do
            kill -0 "$pid" 2>/dev/null && alive=1
        done
        [ "$alive" = 0 ] && return
        sleep 0.05
    done
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null
    done
}

# Starts a program in the background with its output in the logs folder.
launch() {
    local name="$1"
    shift
    "$@" >"$logs/$name.log" 2>&1 3>&- &
    pids+=($!)
}

# Calls the command until it succeeds, every 50 ms, at most `tries` times.
wait_for() {
    local tries="$1"
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

portal_offers() {
    busctl --user --auto-start=no introspect org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
        2>/dev/null | grep -q "^$1 "
}

bus_name_owned() {
    busctl --user status "$1" >/dev/null 2>&1
}

# The tests read and press what the program shows through the accessibility bus; started here,
# since the bus of the session without a portal starts no service.
start_accessibility_bus() {
    launch accessibility /usr/libexec/at-spi-bus-launcher --launch-immediately
    wait_for 200 bus_name_owned org.a11y.Bus
}

start_sway() {
    local with_portal="$1"
    export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1
    mkdir -p "$XDG_CONFIG_HOME/sway" "$XDG_CONFIG_HOME/xdg-desktop-portal-wlr"
    # sway tells its Xwayland display to its children only: one of them writes it down.
    cat >"$XDG_CONFIG_HOME/sway/config" <<EOF
output HEADLESS-1 resolution 1920x1080 position 0 0 bg #336699 solid_color
xwayland force
exec echo "DISPLAY=\$DISPLAY" >"$logs/display"
EOF
    printf '[screencast]\noutput_name=HEADLESS-1\nchooser_type=none\n' \
        >"$XDG_CONFIG_HOME/xdg-desktop-portal-wlr/config"
    launch sway sway -d
    wait_for 200 test -S "$XDG_RUNTIME_DIR/wayland-1" || return 1
    export WAYLAND_DISPLAY=wayland-1
    wait_for 200 compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" || return 1
    SWAYSOCK="$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -n1)"
    export SWAYSOCK
    wait_for 200 test -s "$logs/display" || return 1
    # shellcheck disable=SC1091
    . "$logs/display"
    export DISPLAY
    wait_for 200 test -S "/tmp/.X11-unix/X${DISPLAY#:}" || return 1
    dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP \
        XDG_SESSION_TYPE XDG_RUNTIME_DIR SWAYSOCK || return 1
    start_accessibility_bus || return 1
    [ "$with_portal" = yes ] || return 0
    launch pipewire pipewire
    wait_for 200 test -S "$XDG_RUNTIME_DIR/pipewire-0" || return 1
    launch wireplumber wireplumber
    launch portal-wlr /usr/libexec/xdg-desktop-portal-wlr
    launch portal /usr/libexec/xdg-desktop-portal
    wait_for 300 bus_name_owned org.freedesktop.portal.Desktop || return 1
    wait_for 300 portal_offers org.freedesktop.portal.Screenshot
}

# The GNOME backend's restore data for the virtual monitor, stored under a new id: with that id
# as its restore token, a program's ScreenCast starts without the chooser.
seed_restore_token() {
    local token now
    token="$(cat /proc/sys/kernel/random/uuid)"
    now="$(date +%s%6N)"
    gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
        --object-path /org/freedesktop/impl/portal/PermissionStore \
        --method org.freedesktop.impl.portal.PermissionStore.Set screencast true "$token" \
        "{'': ['yes']}" \
        "<('GNOME', uint32 1, <(int64 $now, int64 $now, [(uint32 0, uint32 1, <'MetaVendor:MetaVirtualMonitor:0x00'>)])>)>" \
        >/dev/null || return 1
    echo "KORONCAM_RESTORE_TOKEN=$token"
}

start_mutter() {
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-m
    launch pipewire pipewire
    wait_for 200 test -S "$XDG_RUNTIME_DIR/pipewire-0" || return 1
    launch wireplumber wireplumber
    launch mutter mutter --headless --wayland --virtual-monitor 1920x1080 \
        --wayland-display=wayland-m
    wait_for 300 test -S "$XDG_RUNTIME_DIR/wayland-m" || return 1
    wait_for 300 bus_name_owned org.gnome.Mutter.ScreenCast || return 1
    # mutter names its Xwayland display in its log only.
    wait_for 300 grep -q "Using public X11 display :" "$logs/mutter.log" || return 1
    DISPLAY="$(grep -o "Using public X11 display :[0-9]*" "$logs/mutter.log" | grep -o ":[0-9]*")"
    export DISPLAY
    wait_for 200 compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" || return 1
    XAUTHORITY="$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" | head -n1)"
    export XAUTHORITY
    wait_for 200 test -S "/tmp/.X11-unix/X${DISPLAY#:}" || return 1
    dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP \
        XDG_SESSION_TYPE XDG_RUNTIME_DIR || return 1
    start_accessibility_bus || return 1
    launch portal /usr/libexec/xdg-desktop-portal
    wait_for 300 bus_name_owned org.freedesktop.portal.Desktop || return 1
    wait_for 300 portal_offers org.freedesktop.portal.ScreenCast
}

start_pipewire() {
    launch pipewire pipewire
    wait_for 200 test -S "$XDG_RUNTIME_DIR/pipewire-0" || return 1
    # WirePlumber links the streams; a test waits for what it links.
    launch wireplumber wireplumber
}

inner() {
    local kind="$1"
    logs="$2"
    shift 2
    local started
    started="$(now_ms)"
    trap stop_all EXIT
    trap 'exit 1' TERM INT HUP
    export XDG_CONFIG_HOME="$HOME/.config"
    mkdir -p "$XDG_CONFIG_HOME"
    local token=""
    case "$kind" in
        sway) start_sway yes ;;
        bare) start_sway no ;;
        mutter) start_mutter && token="$(seed_restore_token)" ;;
        pipewire) start_pipewire ;;
    esac
    if [ $? -ne 0 ]; then
        {
            echo "fail the $kind desktop did not come up; its logs:"
            tail -n 20 "$logs"/*.log | sed 's/^/  /'
        } >&3
        exit 1
    fi
    {
        [ -n "$token" ] && echo "$token"
        for name in WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS \
            XDG_CURRENT_DESKTOP XDG_SESSION_TYPE HOME XDG_CONFIG_HOME SWAYSOCK; do
            [ -n "${!name:-}" ] && echo "$name=${!name}"
        done
        echo "KORONCAM_SESSION_LOGS=$logs"
        echo "ready $(($(now_ms) - started))"
    } >&3
    if [ $# -gt 0 ]; then
        [ -n "$token" ] && export "${token?}"
        "$@" >&3 2>&1 3>&-
        return
    fi
    exec 3>&-
    # Until the test closes our standard input.
    cat >/dev/null
}

if [ "${1:-}" = --inner ]; then
    shift
    inner "$@"
    exit $?
fi

# ---- outside: prepares the folders and the user, then runs the session ----

kind="${1:-}"
command=()
if [ "${2:-}" = -- ]; then
    command=("${@:3}")
fi
case "$kind" in
    sway | bare) needed=(sway Xwayland /usr/libexec/at-spi-bus-launcher) ;;
    mutter) needed=(mutter Xwayland /usr/libexec/at-spi-bus-launcher pipewire wireplumber gdbus /usr/libexec/xdg-desktop-portal
        /usr/libexec/xdg-desktop-portal-gnome) ;;
    pipewire) needed=(pipewire wireplumber) ;;
    *)
        echo "usage: $0 sway|mutter|bare|pipewire" >&2
        exit 2
        ;;
esac
[ "$kind" = sway ] && needed+=(pipewire wireplumber /usr/libexec/xdg-desktop-portal
    /usr/libexec/xdg-desktop-portal-wlr /usr/libexec/xdg-desktop-portal-gtk)
needed+=(dbus-run-session dbus-update-activation-environment busctl setpriv)
for program in "${needed[@]}"; do
    command -v "$program" >/dev/null || skip "$program is not installed (tools/deps.sh test installs it)"
done

if [ "$(id -u)" -eq 0 ]; then
    user=nobody
    uid="$(id -u "$user" 2>/dev/null)" || skip "no unprivileged user \"$user\" to run the desktop as"
    [ "$uid" -ne 0 ] || skip "the user \"$user\" is root"
    group="$(id -g "$user")"
else
    uid="$(id -u)"
    group="$(id -g)"
fi

base="$(mktemp -d /tmp/koroncam-wayland.XXXXXX)" || exit 1
chmod 0755 "$base"
mkdir -m 0700 "$base/runtime"
mkdir -m 0700 "$base/home"
mkdir -m 0755 "$base/logs"
chown "$uid:$group" "$base/runtime" "$base/home" "$base/logs"

# xdg-desktop-portal-wlr has grim write every screenshot to this one file: one left by another
# user cannot be replaced, and every Screenshot call would fail.
if [ "$kind" = sway ] && [ -e /tmp/out.png ] && [ "$(stat -c %u /tmp/out.png)" != "$uid" ]; then
    echo "fail /tmp/out.png belongs to another user; the wlr portal backend writes its screenshots there: remove it"
    exit 1
fi

bus_config=()
# A session bus that knows no service: nothing can start a portal on demand.
[ "$kind" = bare ] && bus_config=(--config-file="$here/session-bus.conf")

# Ends whatever still runs with this session's runtime folder: services the bus started.
sweep() {
    local proc pid
    for proc in /proc/[0-9]*; do
        pid="${proc#/proc/}"
        [ "$pid" = $$ ] && continue
        if { tr '\0' '\n' <"$proc/environ"; } 2>/dev/null |
            grep -qx "XDG_RUNTIME_DIR=$base/runtime"; then
            kill -KILL "$pid" 2>/dev/null
        fi
    done
}

finish() {
    if [ -n "${child:-}" ]; then
        kill -TERM "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    sweep
    rm -rf "$base"
}
trap finish EXIT
trap 'exit 1' TERM INT HUP

self=()
[ "$(id -u)" -eq 0 ] && self=(setpriv --reuid="$uid" --regid="$group" --clear-groups)
"${self[@]}" env -i PATH="$PATH" HOME="$base/home" XDG_RUNTIME_DIR="$base/runtime" \
    LANG="${LANG:-C.UTF-8}" dbus-run-session "${bus_config[@]}" -- \
    "$script" --inner "$kind" "$base/logs" "${command[@]}" <&0 3>&1 >"$base/logs/session.log" 2>&1 &
child=$!
wait "$child"
status=$?
child=""
exit "$status"
