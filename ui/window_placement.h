#pragma once

#include <QPoint>

class QWidget;

// A top-level window that names no position of its own is placed wherever the window manager
// likes, often in a corner of the screen. These name one. Positions are those of client areas,
// which window managers keep exactly; a frame's position depends on how each reads the request.

// Places window, about to be shown, centred on other, frame on frame, and on the screen as far as
// it fits. A window not shown yet has no frame; it is taken to get one like other's.
void centreOn(QWidget &window, const QWidget &other);

// Shows window, hidden, with its client area at place on the screen.
void showAt(QWidget &window, QPoint place);
