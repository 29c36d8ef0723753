#pragma once

#include <functional>

class QWidget;

// Opens and closes the bar: shows or hides the window, growing it from or shrinking it to its
// narrowest width in a few frames when the desktop animates windows. The window keeps its width
// for the next opening. Main thread only; each animation blocks for its frames.
class TBarAnimator {
public:
    // `window` outlives this object; `showGenre` hides the genre picture during a frame run.
    TBarAnimator(QWidget* window, std::function<void(bool shown)> showGenre);

    // Nothing when the bar is already open.
    void Expand();
    // Nothing when the bar is already closed.
    void Collapse();
    bool Expanded() const { return expanded_; }

private:
    void Frame(int width);

    QWidget* window_;
    std::function<void(bool)> showGenre_;
    bool expanded_ = false;
};
