#!/usr/bin/env bash
# Drives the program's window in a private X server as a user does: types at once, saves through
# the file dialog, clears and undoes, pastes into the HTML editor, scrolls the preview and changes
# its sheet, and closes with the question answered Cancel, No and Yes. Every step waits for a
# state it can see (a window, the focus, a title, a file, the clipboard, a pixel), never for a
# fixed time.
#   drive-window.sh PROGRAM SCRATCH_FOLDER
# Exit status: 0 passed, 1 failed, 77 skipped (no X server could be started here).
set -euo pipefail

program=$1
work=$2
# shellcheck source=tests/app/drive-lib.sh
source "$(dirname "$0")/drive-lib.sh"

# --- Start, type at once, save through the dialog -------------------------------------------------

typed='a{color:red}'
pasted='<p>Проба «вставки» — ✓</p>'
start
xdotool type --delay 5 "$typed"
xdotool key ctrl+s
wait_for "save dialog" focus_is_new "$main"
save_as "$work/first.css"
wait_for "file name in the title" title_is "$main" "Quillet :: $work/first.css"
wait_for "saved text" file_is "$work/first.css" "$typed"

# --- Clear, then Undo --------------------------------------------------------------------------------

xdotool key ctrl+Delete ctrl+s
wait_for "cleared file" file_is "$work/first.css" ""
xdotool key ctrl+z ctrl+s
wait_for "text back after Undo" file_is "$work/first.css" "$typed"

# --- Ctrl+A and Ctrl+V in the HTML editor (which shows the sample page) ------------------------------

# Another program puts text on the clipboard (xclip serves it until the program copies).
printf '%s' "$pasted" | xclip -selection clipboard -quiet -i > /dev/null 2>&1 &
started+=($!)
wait_for "text on the clipboard" clipboard_is "$pasted"
# The page tabs are the one place with no key: click "Просмотр" (client pixels taken from a
# screenshot at 96 dpi with the installed fonts), then the keys go where a user's go.
xdotool mousemove --window "$main" 80 61 click 1
xdotool key ctrl+a ctrl+v ctrl+v ctrl+a ctrl+c
wait_for "the HTML editor's text copied back" clipboard_is "$pasted$pasted"

# --- Close: Cancel keeps the window, No drops the change -----------------------------------------

xdotool mousemove --window "$main" 21 61 click 1 # back to "Css": the keys go to the CSS editor
xdotool type --delay 5 'b'
ask_to_close
xdotool key Escape
wait_for "focus back in the window after Cancel" focus_is "$main"
running || fail "Cancel closed the window"
title_is "$main" "Quillet :: $work/first.css" || fail "Cancel changed the title"
ask_to_close
answer Tab space # the box speaks Russian: from "Да" on to "Нет"
# Then the sample page pasted into: No again, and the page stays as it was.
wait_for "question about the sample page" question
answer Tab space
finish
cmp -s "$work/bin/Sample.htm" "$shipped/Sample.htm" || fail "No wrote the sample page"
file_is "$work/first.css" "$typed" || fail "No saved the change"
[ -s "$work/settings.reg" ] || fail "closing wrote no settings"

# --- Close: Yes saves through the dialog ---------------------------------------------------------

start "$work/first.css"
wait_for "opened file in the title" title_is "$main" "Quillet :: $work/first.css"
xdotool type --delay 5 'p '
ask_to_close
xdotool key Return # "Да", the default button
wait_for "save dialog after Yes" focus_is_new "$main" "$box"
save_as "$work/second.css"
finish
file_is "$work/second.css" "p $typed" || fail "Yes saved $(cat "$work/second.css" 2>&1)"
file_is "$work/first.css" "$typed" || fail "Yes touched the file that was open"

# --- Started without a file, the document of the last close comes back ----------------------------

start
wait_for "last document back" title_is "$main" "Quillet :: $work/second.css"

# --- The preview shows a rule typed and not saved -------------------------------------------------

# preview_shot FILE: the top left of the browser's area, as raw pixels.
preview_shot() { import -window "$main" -crop 400x200+40+120 +repage -depth 8 rgb:"$1" 2> /dev/null; }
# The page is drawn when it has text on it and two pictures in a row agree.
preview_drawn() {
    preview_shot "$work/a.rgb" && [ "$(identify -size 400x200 -depth 8 -format %k rgb:"$work/a.rgb")" -gt 1 ] &&
        sleep 0.3 && preview_shot "$work/b.rgb" && cmp -s "$work/a.rgb" "$work/b.rgb"
}
# has_blue FILE: some pixel is pure blue (grep reads to the end: no broken pipe for pipefail).
has_blue() { [ "$(od -An -v -tx1 -w3 "$1" | grep -c '^ 00 00 ff$')" -gt 0 ]; }
preview_blue() { preview_drawn && has_blue "$work/a.rgb"; }
sheet="$(dirname "$program")/Sample.css"
sheet_sum=$(cksum < "$sheet")
xdotool key ctrl+n # untitled: the sample page's Sample.css is answered from the editor
wait_for "untitled document" title_is "$main" "Quillet"
xdotool mousemove --window "$main" 80 61 click 1
wait_for "the sample page drawn" preview_drawn
cp "$work/a.rgb" "$work/before.rgb"
xdotool mousemove --window "$main" 21 61 click 1
xdotool type --delay 5 '*{background:#0000ff}'
xdotool mousemove --window "$main" 80 61 click 1
! has_blue "$work/before.rgb" || fail "blue in the preview before the rule"
wait_for "the typed rule in the preview" preview_blue
[ "$(cksum < "$sheet")" = "$sheet_sum" ] || fail "the preview wrote $sheet"

# --- The preview keeps its scroll position across updates -----------------------------------------

# A tall page whose canvas tells how far down it shows: its red grows by one every 10 pixels
# down, and so does its blue once the second sheet is in. The probe is a pixel in the page's
# left margin, where no text is drawn.
tall_page() { printf 'html{height:5000px;background:linear-gradient(#000000 0,%s 2550px)}' "$1"; }
probe() {
    read -r red green blue < <(import -window "$main" -crop 1x1+5+400 +repage -depth 8 rgb:- \
        2> /dev/null | od -An -v -tu1) && [ -n "$blue" ]
}
# probe_still: the probe twice alike (a scroll or a paint has ended); its colour in red, blue.
probe_still() {
    probe && local first="$red $blue" && sleep 0.3 && probe && [ "$first" = "$red $blue" ]
}
tall_drawn() { probe_still && ((red > 0 && blue == 0)); }
scrolled() { probe_still && ((red >= top + 20 && blue == 0)); }
kept() { probe_still && ((blue > 0 && red >= down - 1 && red <= down + 1)); }
xdotool mousemove --window "$main" 21 61 click 1
xdotool key ctrl+a
xdotool type --delay 5 "$(tall_page '#ff0000')"
xdotool mousemove --window "$main" 80 61 click 1
wait_for "the tall page drawn" tall_drawn
top=$red
xdotool mousemove --window "$main" 500 400 click --repeat 5 --delay 50 5 # the wheel, down
wait_for "the preview scrolled down" scrolled
down=$red
xdotool mousemove --window "$main" 21 61 click 1
xdotool key ctrl+a
xdotool type --delay 5 "$(tall_page '#ff00ff')"
xdotool mousemove --window "$main" 80 61 click 1
wait_for "the update shown at the same place (red $down)" kept

# --- Ctrl+Q quits, the unsaved rule is given up ------------------------------------------------------

xdotool key ctrl+q
wait_for "question before quitting" question
xdotool key Tab space # "Нет": the unsaved rule is given up
finish
# --- A random user: keys, typing, clicks anywhere; the program must still answer afterwards ---------

seed=${QUILLET_DRIVE_SEED:-$((10#$(date +%N) % 32768))}
echo "drive-window: random session with QUILLET_DRIVE_SEED=$seed"
RANDOM=$seed
cd "$work" # a file dialog answered at random writes here
printf '%*s' 30000 '' | tr ' ' 'p' | sed 's/p\{30\}/a{b:c}/g' | xclip -selection clipboard -quiet -i > /dev/null 2>&1 &
started+=($!)
start
keys=(Left Right Up Down Home End Prior Next BackSpace Delete Return Tab Escape Insert F3 F5 F1
    ctrl+z ctrl+shift+z ctrl+a ctrl+c ctrl+x ctrl+v ctrl+Delete ctrl+f ctrl+h ctrl+g ctrl+Tab
    ctrl+equal ctrl+minus ctrl+0 ctrl+shift+f ctrl+comma ctrl+n ctrl+o ctrl+s shift+Right
    shift+End ctrl+shift+Left alt+Down Menu)
texts=('a { color: red; }' '}' '{' '/*' '"' ';' '@media' 'Проба' 'url(' ' ')
for ((step = 1; step <= ${QUILLET_DRIVE_STEPS:-150}; step++)); do
    case $((RANDOM % 4)) in
    0 | 1) xdotool key --delay 5 "${keys[RANDOM % ${#keys[@]}]}" ;;
    2) xdotool type --delay 5 "${texts[RANDOM % ${#texts[@]}]}" ;;
    3) xdotool mousemove --window "$main" $((RANDOM % 1000)) $((RANDOM % 700)) click $((RANDOM % 3 + 1)) ;;
    esac
    running || fail "the program ended at random step $step (QUILLET_DRIVE_SEED=$seed)"
done
# The user closes whatever is open and comes back to the window, until the window keeps the
# focus for a while (a dialog asked for late by a slow step may still come up).
deadline=$((SECONDS + patience))
settled=0
while ((settled < 4)); do
    ((SECONDS < deadline)) || fail "the window never kept the focus again (QUILLET_DRIVE_SEED=$seed)"
    if focus_is "$main"; then
        settled=$((settled + 1))
    else
        settled=0
        other=$(focused)
        xdotool key Escape
        sleep 0.2
        # A dialog whose editor takes Escape is closed from its title bar.
        if [ -n "$other" ] && focus_is "$other" && [ "$other" != "$main" ]; then
            wmctrl -i -c "$other" 2> /dev/null || true
            sleep 0.2
        fi
        focus_is "$main" || xdotool windowactivate "$main" 2> /dev/null || true
    fi
    sleep 0.3
done
# Windows of its own that never took the focus (the help, opened by F1) may still cover the
# main window: the user closes those too.
for other in $(xdotool search --onlyvisible --pid "$app" 2> /dev/null); do
    [ "$other" = "$main" ] || wmctrl -i -c "$other" 2> /dev/null || true
done
sleep 0.3
xdotool windowactivate "$main" 2> /dev/null || true
wait_for "focus in the main window after the random session" focus_is "$main"
# It answers: the text replaced in the CSS editor, saved through the dialog, and quit.
xdotool mousemove --window "$main" 21 61 click 1 # the "Css" page, with the focus in its editor
xdotool key ctrl+a
xdotool type --delay 5 "b{}"
xdotool key ctrl+shift+s
wait_for "save dialog after the random session" focus_is_new "$main"
save_as "$work/alive.css"
wait_for "saved after the random session" file_is "$work/alive.css" "b{}"
xdotool key ctrl+q
# The sample page may have been edited at random: its question is answered No, however late it
# comes on a loaded machine (and once for each time it is asked).
deadline=$((SECONDS + 30))
while ((SECONDS < deadline)) && running; do
    if question; then answer Tab space; fi
    sleep 0.2
done
finish

echo "drive-window: passed"
