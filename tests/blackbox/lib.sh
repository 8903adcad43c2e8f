# Helpers for driving the real game on a virtual X display (sourced by the sessions, which
# run under `xvfb-run -a`). One game process at a time: its id is $GAME_PID, its window
# $GAME_WIN, its output $OUT/game.out and $OUT/game.err.
set -u

: "${TARNWICK_BIN:?TARNWICK_BIN names the game binary}"
: "${OUT:?OUT names the folder for this session}"
SAVE="$XDG_DATA_HOME/Plumbrix/saves.dat"

# Waits until the X server answers (xvfb-run may return before it does).
wait_display() {
    for _ in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "no X display answered" >&2 && return 1
}

# Starts the game and waits for its window and its first painted frame (a mapped window
# reads back all black until then); a launch that could not open the display is retried.
launch() {
    local try i
    for try in 1 2 3; do
        "$TARNWICK_BIN" "$@" >"$OUT/game.out" 2>"$OUT/game.err" &
        GAME_PID=$!
        GAME_WIN=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarnwick$' 2>/dev/null | head -1)
        if [ -n "$GAME_WIN" ]; then
            for i in $(seq 1 100); do
                [ "$(xwd -silent -id "$GAME_WIN" 2>/dev/null | tail -c 65536 | tr -d '\0' | head -c 1 | wc -c)" -gt 0 ] && break
                sleep 0.1
            done
            sleep 0.5
            return 0
        fi
        kill -KILL "$GAME_PID" 2>/dev/null
        wait "$GAME_PID" 2>/dev/null
        grep -q -e "SDL_Init" -e "SDL_CreateWindow" "$OUT/game.err" || break
        sleep 0.5
    done
    echo "the game window did not appear" >&2 && cat "$OUT/game.err" >&2 && return 1
}

# Waits for the game to end (killed after 20 s) and prints its exit status.
finish() {
    local status=0
    for _ in $(seq 1 200); do kill -0 "$GAME_PID" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$GAME_PID" 2>/dev/null && { kill -KILL "$GAME_PID"; echo "the game did not end" >&2; }
    wait "$GAME_PID" || status=$?
    echo "$status"
}

# "W H" and "X Y" of the game window.
window_geo() {
    xdotool getwindowgeometry --shell "$GAME_WIN" | awk -F= "/^$1=/{a=\$2} /^$2=/{b=\$2} END{print a, b}"
}
window_size() { window_geo WIDTH HEIGHT; }
window_pos() { window_geo X Y; }

click_at() { xdotool mousemove --window "$GAME_WIN" "$1" "$2" sleep 0.2 click 1 sleep 0.3; }

# Key presses, with the window focused first: there is no window manager.
keys() {
    xdotool windowfocus --sync "$GAME_WIN" >/dev/null 2>&1 || true
    xdotool key --delay 100 "$@"
    sleep 0.3
}

shot() { xwd -root -silent >"$OUT/$1.xwd"; }  # the whole screen as $OUT/<name>.xwd

# Clicks at (x, y) for a shot and waits (at most 20 s) until the save file has changed and
# then stayed the same for 0.8 s, so a refill after the landing is saved too. False when
# the save never changed.
shoot_at() {
    local before now i
    before=$(md5sum "$SAVE" 2>/dev/null)
    click_at "$1" "$2"
    for i in $(seq 1 400); do
        now=$(md5sum "$SAVE" 2>/dev/null)
        [ "$now" != "$before" ] && break
        sleep 0.05
    done
    [ "$now" = "$before" ] && return 1
    for i in $(seq 1 12); do
        sleep 0.8
        before=$now
        now=$(md5sum "$SAVE" 2>/dev/null)
        [ "$now" = "$before" ] && return 0
    done
}

# Two SIGTERMs, the second once the game has taken the first (held while it is queued).
term_twice() {
    kill -STOP "$GAME_PID"
    kill -TERM "$GAME_PID"
    kill -CONT "$GAME_PID"
    local i key value
    for i in $(seq 1 5000); do
        value=0
        while read -r key value; do
            [ "$key" = "ShdPnd:" ] && break
        done <"/proc/$GAME_PID/status" 2>/dev/null || break
        (( (0x$value & 0x4000) == 0 )) && break
    done
    kill -TERM "$GAME_PID"
}
