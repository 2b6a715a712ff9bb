# shellcheck shell=bash
# The private X server, window manager and helpers shared by the scripts that drive the window.
# Sourced with $program (the program) and $work (a scratch folder) set; sets up both, starts
# the server and ends everything it started when the script exits.
patience=${QUILLET_DRIVE_PATIENCE:-60} # seconds one state may take to come, under load too
me=$(basename "$0" .sh) # names the script in what it says

rm -rf "$work"
mkdir -p "$work/home/.config" "$work/runtime"
chmod 700 "$work/runtime"
# The program runs from a folder of its own with copies of the files shipped beside it: the user
# edits the sample page, and a question or the HTML editor's save button answered at random may
# write it.
shipped=$(dirname "$program")
mkdir -p "$work/bin"
ln -f "$program" "$work/bin/quillet" 2> /dev/null || cp "$program" "$work/bin/quillet"
cp "$shipped"/Sample.* "$work/bin/"
program=$work/bin/quillet
started=() # every process this script starts, ended by the EXIT trap
app=

cleanup() {
    set +e
    if [ -n "$app" ]; then # the program and its browser helpers
        kill -KILL -- "-$app" 2> /dev/null
        wait "$app" 2> /dev/null
    fi
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do kill "${started[i]}" 2>/dev/null; done
    for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
}
trap cleanup EXIT

fail() {
    echo "$me: $*" >&2
    if [ -n "${DISPLAY:-}" ] && command -v import > /dev/null; then
        import -window root "$work/failure.png" 2> /dev/null &&
            echo "$me: the screen is in $work/failure.png" >&2
    fi
    [ -s "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" >&2
    exit 1
}

# wait_for WHAT COMMAND...: runs COMMAND until it succeeds; fails after $patience seconds.
wait_for() {
    local what=$1 deadline=$((SECONDS + patience))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || fail "waited ${patience} s in vain for: $what"
        sleep 0.05
    done
}

# --- The X server, a window manager with no keys of its own, the keyboard -----------------------

if ! command -v Xvfb > /dev/null; then
    echo "$me: skipped: Xvfb is not installed" >&2
    exit 77
fi
for tool in xdotool xclip openbox wmctrl; do
    command -v "$tool" > /dev/null || fail "$tool is not installed (scripts/install-deps.sh installs it)"
done
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -noreset -s 0 -nolisten tcp \
    3> "$work/display" > "$work/xvfb.log" 2>&1 &
started+=($!)
xvfb=$!
deadline=$((SECONDS + patience))
until grep -q . "$work/display" 2> /dev/null; do
    if ! kill -0 "$xvfb" 2> /dev/null || ((SECONDS >= deadline)); then
        echo "$me: skipped: Xvfb could not start: $(tail -3 "$work/xvfb.log")" >&2
        exit 77
    fi
    sleep 0.05
done
export DISPLAY=":$(head -1 "$work/display")"
printf '<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/><mouse/></openbox_config>\n' \
    > "$work/openbox.xml"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    openbox --config-file "$work/openbox.xml" > "$work/openbox.log" 2>&1 &
started+=($!)
wait_for "window manager" eval "wmctrl -m > /dev/null 2>&1"

# --- Helpers -------------------------------------------------------------------------------------

focused() { xdotool getwindowfocus 2> /dev/null || true; }
focus_is() { [ "$(focused)" = "$1" ]; }
focus_is_new() { local f; f=$(focused); [ -n "$f" ] && [ "$f" != "$1" ] && [ "$f" != "${2:-}" ]; }
title_is() { [ "$(xdotool getwindowname "$1" 2> /dev/null)" = "$2" ]; }
file_is() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; }
clipboard_is() { [ "$(timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2> /dev/null)" = "$1" ]; }
exited() { case $(ps -o stat= -p "$app" 2> /dev/null) in Z* | '') true ;; *) false ;; esac }
running() { ! exited; }
main_window() {
    main=$(xdotool search --onlyvisible --pid "$app" --name '^Quillet' 2> /dev/null | head -1)
    [ -n "$main" ]
}
question() { box=$(focused) && title_is "$box" "Подтверждение"; }
# answer KEYS...: presses KEYS in the box that has the focus and waits until that box is gone, so
# that a question asked right after it is not taken for it (nor its keys sent to the window).
answer() {
    local answered; answered=$(focused)
    xdotool key "$@"
    wait_for "the box answered with $*" eval '! focus_is "$answered"'
}

# start [FILE]: the program, in a session of its own so that its helpers end with it.
start() {
    # Under the sanitizers, the graphics drivers a real window loads and unloads leave blocks the
    # leak check cannot name; every other check stays on.
    local asan=${ASAN_OPTIONS:-}
    [ -n "$asan" ] && asan="$asan:detect_leaks=0"
    env -u DBUS_SESSION_BUS_ADDRESS -u SESSION_MANAGER -u QT_QPA_PLATFORMTHEME \
        -u XDG_CURRENT_DESKTOP -u QT_STYLE_OVERRIDE \
        QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 QT_SCALE_FACTOR=1 HOME="$work/home" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime" \
        QUILLET_REGISTRY="$work/settings.reg" QTWEBENGINE_DISABLE_SANDBOX=1 ASAN_OPTIONS="$asan" \
        setsid "$program" "$@" >> "$work/program.log" 2>&1 &
    app=$!
    wait_for "main window" main_window
    xdotool windowactivate "$main" 2> /dev/null || true
    wait_for "focus in the main window" focus_is "$main"
}

# finish: waits for the program to end by itself and checks that it ended well.
finish() {
    wait_for "end of the program" exited
    local rc=0
    wait "$app" || rc=$?
    kill -KILL -- "-$app" 2> /dev/null || true
    app=
    [ "$rc" = 0 ] || fail "the program ended with status $rc"
}

# save_as PATH: answers the file dialog that has the focus.
save_as() {
    local dialog
    dialog=$(focused)
    xdotool key ctrl+a
    xdotool type --delay 5 "$1"
    xdotool key Return
    # The name box's completer may take a Return only to close itself: press again while the
    # dialog still has the focus.
    local deadline=$((SECONDS + patience))
    until ! focus_is "$dialog"; do
        ((SECONDS < deadline)) || fail "the file dialog did not take $1"
        sleep 0.5
        if focus_is "$dialog"; then xdotool key Return; fi
    done
}

# ask_to_close: the window's close box; waits for the question about unsaved changes.
ask_to_close() {
    wmctrl -i -c "$main"
    wait_for "question before closing" question
}

