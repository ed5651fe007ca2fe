// The incremental nearest-piece search over a path's ring.
#include "game/CPSpline.h"

#include <cmath>

bool IsWithinSquare(const D3DXVECTOR2& a, float r, const D3DXVECTOR2& b) {
    return std::fabs(a.x - b.x) <= r && std::fabs(a.y - b.y) <= r;
}

bool UpdateNearestLine(const D3DXVECTOR2& point, const CPLine* line, float& bestSquared) {
    const float dx = point.x - line->Centre.x;
    const float dy = point.y - line->Centre.y;
    const float d2 = dx * dx + dy * dy;
    if (d2 < bestSquared) {
        bestSquared = d2;
        return true;
    }
    return false;
}

namespace {

// Where a cursor stands relative to the run of near pieces it walks through.
enum class Walk { BeforeNear, AmongNear, PastNear };

struct Search {
    D3DXVECTOR2 point;
    float radius;
    float bestSquared;
    CPLine* result;

    bool IsNear(const CPLine* line) const {
        return IsWithinSquare(point, radius, D3DXVECTOR2(line->Start.x, line->Start.y)) ||
               IsWithinSquare(point, radius, D3DXVECTOR2(line->End.x, line->End.y));
    }

    // One cursor's step on its current line.
    void Examine(CPLine* line, Walk& state) {
        if (state == Walk::PastNear) {
            return;
        }
        if (!IsNear(line)) {
            if (state == Walk::AmongNear) {
                state = Walk::PastNear;
            }
            return;
        }
        state = Walk::AmongNear;
        if (UpdateNearestLine(point, line, bestSquared)) {
            result = line;
        }
    }
};

}  // namespace

float CPSpline::FindNearestLine(const D3DXVECTOR3& point, float& radius, int steps, CPLine*& hint, int /*unused*/) {
    if (hint == nullptr) {
        hint = CurrentLine;
    }
    if (hint == nullptr) {
        return 0.0f;
    }
    CurrentLine = hint;

    // The best squared distance starts at 100·radius, not radius²: this bounds how far a centre
    // may lie and still win.
    Search search{D3DXVECTOR2(point.x, point.y), radius, radius * 100.0f, hint};
    Walk forwardState = Walk::BeforeNear;
    Walk backwardState = Walk::BeforeNear;
    if (IsWithinSquare(search.point, radius, D3DXVECTOR2(hint->Start.x, hint->Start.y))) {
        forwardState = Walk::AmongNear;
    }
    if (IsWithinSquare(search.point, radius, D3DXVECTOR2(hint->End.x, hint->End.y))) {
        backwardState = Walk::AmongNear;
    }
    if (forwardState == Walk::AmongNear || backwardState == Walk::AmongNear) {
        UpdateNearestLine(search.point, hint, search.bestSquared);  // the result stays the hint
    }

    // The cursors walk opposite ways; each sees every other piece at most once and the loop ends
    // at the latest where they meet.
    CPLine* forward = hint->Next;
    CPLine* backward = hint->Prev;
    // A missing link (a ring that was never closed) ends the walk.
    while (!(forwardState == Walk::PastNear && backwardState == Walk::PastNear) && forward != backward &&
           forward != nullptr && backward != nullptr) {
        search.Examine(forward, forwardState);
        search.Examine(backward, backwardState);
        forward = forward->Next;
        backward = backward->Prev;
    }

    // Where the cursors meet on an even ring, the piece between them would be seen by neither:
    // the forward cursor takes it, so a stale hint cannot miss the piece opposite to it.
    if (forward != nullptr && forward == backward && forward != hint &&
        !(forwardState == Walk::PastNear && backwardState == Walk::PastNear) && search.IsNear(forward) &&
        UpdateNearestLine(search.point, forward, search.bestSquared)) {
        search.result = forward;
    }

    CurrentLine = search.result;
    hint = search.result;

    // Ahead in race direction is along Prev: a piece's heading points from its End to its Start.
    const CPLine* chosen = search.result;
    for (int i = 0; i < steps && chosen->Prev != nullptr; ++i) {
        chosen = chosen->Prev;
    }
    for (int i = 0; i > steps && chosen->Next != nullptr; --i) {
        chosen = chosen->Next;
    }

    // Signed distance from the line through S and E: ((E − S) rotated a quarter turn clockwise)·p
    // less the same for S, over |E − S|.
    const D3DXVECTOR3& s = chosen->Start;
    const D3DXVECTOR3& e = chosen->End;
    const float length = std::sqrt((e.y - s.y) * (e.y - s.y) + (e.x - s.x) * (e.x - s.x));
    if (length > 0.0f) {
        radius = ((e.y - s.y) * point.x + (s.x - e.x) * point.y - (e.y * s.x - e.x * s.y)) / length;
    } else {
        // No direction to measure across: the plain distance from the piece's start.
        radius = std::sqrt((point.x - s.x) * (point.x - s.x) + (point.y - s.y) * (point.y - s.y));
    }
    return chosen->Heading;
}
