#pragma once

#include <QPoint>
#include <QPointer>

class Form2;
class QWidget;

// Swaps the main window for the About window, which is created if none is open and stands
// centred on where the main window stood. Going back from the About window runs backCommand()
// with the main window's place.
void aboutCommand(QWidget &form1, QPointer<Form2> &form2);

// Shows the main window again at place, the screen position its client area had before. The
// About window closes and deletes itself; forgetting it here makes the next aboutCommand() create
// a new one even before the old one is gone.
void backCommand(QWidget &form1, QPointer<Form2> &form2, QPoint place);
