#pragma once

#include "ui/text/text_keys.h"

// While it lives, Redo is bound as X11 desktops bind it, Ctrl+Shift+Z alone: the offscreen
// platform binds Ctrl+Y as well, as Windows does, and so would hide whether the text area takes
// Ctrl+Y of its own.
class X11Redo {
public:
    X11Redo() : saved_(platformKeys()) {
        platformKeys().bindings = [](QKeySequence::StandardKey standard) {
            if (standard == QKeySequence::Redo)
                return QList{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
            return QKeySequence::keyBindings(standard);
        };
    }
    ~X11Redo() { platformKeys() = saved_; }
    X11Redo(const X11Redo &) = delete;
    X11Redo &operator=(const X11Redo &) = delete;

private:
    PlatformKeys saved_;
};
