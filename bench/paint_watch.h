#pragma once

#include <QObject>

class QWidget;

// Follows the paints of a widget, so that the time of anything that changes what the widget shows
// counts until the change is drawn.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget &widget);

    // Forgets the paints so far; the next wait() waits for one made after this call.
    void expect() { painted_ = false; }
    // Runs the event loop until the widget has painted since expect(). Throws if it does not
    // within a minute, which no measured step comes near.
    void wait();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool painted_ = false;
    bool waiting_ = false;
};
