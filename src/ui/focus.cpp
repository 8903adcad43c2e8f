// Keyboard focus: the frame's navigation keys, the controls' side of it and the ring.
#include <SDL.h>

#include <cmath>

#include "ui/app.h"
#include "ui/draw.h"
#include "ui/widgets.h"

namespace ui {

namespace {

bool isActivateKey(int k) {
    return k == SDLK_RETURN || k == SDLK_RETURN2 || k == SDLK_KP_ENTER || k == SDLK_SPACE;
}

// The controls focus may move among: a modal dialog's alone while one shows.
void reachable(const Focus& f, int* lo, int* hi) {
    *hi = static_cast<int>(f.prev.size());
    *lo = f.prevModalFrom >= 0 && f.prevModalFrom < *hi ? f.prevModalFrom : 0;
}

int startIndex(int main, int lo, int hi) {
    return main >= lo && main < hi ? main : lo;
}

// The nearest control from `from` in direction (dx, dy), among those within 45 degrees of
// it: the distance along the direction counts once and the distance across it three times,
// so a neighbour in line wins over a nearer one off to the side. -1 when there is none.
int neighbour(const std::vector<FocusSlot>& slots, int from, int lo, int hi, double dx, double dy) {
    const Rect& a = slots[static_cast<size_t>(from)].r;
    const double ax = a.x + a.w / 2;
    const double ay = a.y + a.h / 2;
    int best = -1;
    double bestScore = 0;
    for (int i = lo; i < hi; ++i) {
        if (i == from) continue;
        const Rect& b = slots[static_cast<size_t>(i)].r;
        const double ox = b.x + b.w / 2 - ax;
        const double oy = b.y + b.h / 2 - ay;
        const double along = ox * dx + oy * dy;
        const double across = std::fabs(ox * dy - oy * dx);
        if (along < 1 || across > along) continue;
        const double score = along + 3 * across;
        if (best < 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace

bool Ctx::focusable(const Rect& r, bool sideways) {
    Focus& f = focus;
    const int i = static_cast<int>(f.slots.size());
    f.slots.push_back(FocusSlot{r, sideways});
    if (f.nextMain) {
        f.main = i;
        f.nextMain = false;
    }
    return i == f.index;
}

bool Ctx::takeControl(const Rect& r) {
    const bool focused = focusable(r);
    if (takeClick(r)) {
        focus.index = static_cast<int>(focus.slots.size()) - 1;
        focus.activate = false;
        return true;
    }
    if (focused && focus.activate) {
        focus.activate = false;
        return true;
    }
    return false;
}

void focusReset(Ctx& c) {
    Focus& f = c.focus;
    f.index = -1;
    f.activate = false;
    f.nextMain = false;
    f.main = -1;
    f.modalFrom = -1;
    f.prevMain = -1;
    f.prevModalFrom = -1;
    f.slots.clear();
    f.prev.clear();
}

void focusBeginFrame(Ctx& c) {
    Focus& f = c.focus;
    f.prev.swap(f.slots);
    f.slots.clear();
    f.prevMain = f.main;
    f.prevModalFrom = f.modalFrom;
    f.main = -1;
    f.modalFrom = -1;
    f.nextMain = false;
    f.activate = false;

    Input& in = c.in;
    if (in.pressed || in.released || in.mouseX != f.lastX || in.mouseY != f.lastY)
        f.visible = false;
    f.lastX = in.mouseX;
    f.lastY = in.mouseY;

    int lo = 0;
    int hi = 0;
    reachable(f, &lo, &hi);
    if (hi <= lo) return;
    if (f.index < lo || f.index >= hi) f.index = startIndex(f.prevMain, lo, hi);

    std::vector<int> left;
    for (int k : in.keys) {
        const int n = hi - lo;
        int to = -2;  // -2: not a focus key
        if (k == SDLK_TAB) {
            to = lo + ((f.index - lo + (in.shift ? n - 1 : 1)) % n);
        } else if (isActivateKey(k)) {
            f.activate = true;
            to = f.index;
        } else if (k == SDLK_LEFT || k == SDLK_RIGHT || k == SDLK_UP || k == SDLK_DOWN) {
            f.visible = true;  // shows where focus is even when it cannot move that way
            const bool sideways = f.prev[static_cast<size_t>(f.index)].sideways;
            if (!(sideways && (k == SDLK_LEFT || k == SDLK_RIGHT))) {
                const double dx = k == SDLK_LEFT ? -1 : k == SDLK_RIGHT ? 1 : 0;
                const double dy = k == SDLK_UP ? -1 : k == SDLK_DOWN ? 1 : 0;
                const int next = neighbour(f.prev, f.index, lo, hi, dx, dy);
                if (next >= 0) to = next;
            }
        }
        if (to == -2) {
            left.push_back(k);
            continue;
        }
        f.index = to;
        f.visible = true;
    }
    in.keys.swap(left);
}

void focusEndFrame(Ctx& c) {
    Focus& f = c.focus;
    f.activate = false;
    const int hi = static_cast<int>(f.slots.size());
    const int lo = f.modalFrom >= 0 && f.modalFrom < hi ? f.modalFrom : 0;
    if (hi <= lo) return;
    if (f.index < lo || f.index >= hi) f.index = startIndex(f.main, lo, hi);
    if (!f.visible || c.cr == nullptr) return;
    const Rect& r = f.slots[static_cast<size_t>(f.index)].r;
    const double pad = c.s(4);
    const Rect ring{r.x - pad, r.y - pad, r.w + 2 * pad, r.h + 2 * pad};
    strokeRoundedRect(c.cr, ring, c.s(16), c.s(5), kPanelViolet, 0.9);
    strokeRoundedRect(c.cr, ring, c.s(16), c.s(2.5), 0xfff2b0, 1.0);
}

}  // namespace ui
