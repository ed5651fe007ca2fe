// The pointer device as the host reads it: a queue of moves and button changes in screen
// pixels, taken oldest first once a frame. Tests and tools script a pointer through it the
// way a user would move and click; nothing here knows the game.
#pragma once

#include <deque>

struct MouseEvent {
    enum Kind { Move, Press, Release };
    Kind EventKind = Move;
    float X = 0.0f;  // Move: the new position
    float Y = 0.0f;
    int Button = 0;  // Press / Release: 0 primary (left), 1 secondary, 2 middle
};

class ScriptedMouse {
public:
    void MoveTo(float x, float y) { queue.push_back(MouseEvent{MouseEvent::Move, x, y, 0}); }
    void Press(int button) { queue.push_back(MouseEvent{MouseEvent::Press, 0.0f, 0.0f, button}); }
    void Release(int button) { queue.push_back(MouseEvent{MouseEvent::Release, 0.0f, 0.0f, button}); }
    // A press and a release at the current position.
    void Click(int button) {
        Press(button);
        Release(button);
    }
    // The oldest event waiting; false when none is.
    bool Poll(MouseEvent& event) {
        if (queue.empty()) {
            return false;
        }
        event = queue.front();
        queue.pop_front();
        return true;
    }
    bool Empty() const { return queue.empty(); }

private:
    std::deque<MouseEvent> queue;
};
