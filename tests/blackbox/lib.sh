# Helpers for driving the real game on a virtual X display (sourced by the black-box
# tests, which run under `xvfb-run -a`). Every helper works on one game process at a time,
# whose id is in $GAME_PID; the game's output goes to $OUT/game.out and $OUT/game.err.
set -u

: "${TARNWICK_BIN:?TARNWICK_BIN names the game binary}"
: "${OUT:?OUT names the folder for this session}"

# Waits until the X server answers (xvfb-run may return before it does).
wait_display() {
    local i
    for i in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "no X display answered" >&2
    return 1
}

# Starts the game with the given arguments and waits for its window. A launch that could
# not open the display is retried. Sets GAME_PID and GAME_WIN.
launch() {
    local try
    for try in 1 2 3; do
        "$TARNWICK_BIN" "$@" >"$OUT/game.out" 2>"$OUT/game.err" &
        GAME_PID=$!
        GAME_WIN=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarnwick$' 2>/dev/null | head -1)
        if [ -n "$GAME_WIN" ]; then
            wait_painted
            # One more frame so that the first picture is on screen.
            sleep 0.5
            return 0
        fi
        if kill -0 "$GAME_PID" 2>/dev/null; then
            kill -KILL "$GAME_PID" 2>/dev/null
            wait "$GAME_PID" 2>/dev/null
        else
            wait "$GAME_PID" 2>/dev/null
        fi
        grep -q -e "SDL_Init" -e "SDL_CreateWindow" "$OUT/game.err" || break
        sleep 0.5
    done
    echo "the game window did not appear" >&2
    cat "$OUT/game.err" >&2
    return 1
}

# Waits (at most 10 s) until the game window shows its first painted frame: a window that
# is mapped but not yet presented reads back all black, and a slow first frame (a sanitizer
# build on a busy machine) would otherwise swallow the first clicks and screenshots.
wait_painted() {
    local i lit
    for i in $(seq 1 100); do
        lit=$(xwd -silent -id "$GAME_WIN" 2>/dev/null | tail -c 65536 | tr -d '\0' | head -c 1 | wc -c)
        [ "$lit" -gt 0 ] && return 0
        sleep 0.1
    done
    return 0
}

# Waits for the game to end (at most 20 s) and prints its exit status.
finish() {
    local i
    for i in $(seq 1 200); do
        kill -0 "$GAME_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$GAME_PID" 2>/dev/null; then
        kill -KILL "$GAME_PID" 2>/dev/null
        echo "the game did not end" >&2
    fi
    local status=0
    wait "$GAME_PID" || status=$?
    echo "$status"
}

# "W H" of the game window.
window_size() {
    xdotool getwindowgeometry --shell "$GAME_WIN" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w, h}'
}

# "X Y" of the game window.
window_pos() {
    xdotool getwindowgeometry --shell "$GAME_WIN" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'
}

# Clicks at (x, y) inside the game window.
click_at() {
    xdotool mousemove --window "$GAME_WIN" "$1" "$2" sleep 0.2 click 1
    sleep 0.3
}

# Sends key presses to the game window (focused first: there is no window manager).
keys() {
    xdotool windowfocus --sync "$GAME_WIN" >/dev/null 2>&1 || true
    xdotool key --delay 100 "$@"
    sleep 0.3
}

# Saves the whole screen as $OUT/<name>.xwd.
shot() {
    xwd -root -silent >"$OUT/$1.xwd"
}

# Delivers a first SIGTERM and, once the game has taken it, a second one. The game is
# held while the first is queued, so both cannot merge into one pending signal.
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
