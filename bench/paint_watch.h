#pragma once

class QsciScintillaBase;

// Follows the paints of an editor, so that the time of anything that changes what the editor shows
// counts until the change is drawn.
class PaintWatch {
public:
    explicit PaintWatch(QsciScintillaBase &editor);
    PaintWatch(const PaintWatch &) = delete;
    PaintWatch &operator=(const PaintWatch &) = delete;

    // Forgets the paints so far; the next wait() waits for one made after this call.
    void expect() { painted_ = false; }
    // Runs the event loop until the editor has painted since expect(). Throws if it does not
    // within a minute, which no measured step comes near.
    void wait();

private:
    QsciScintillaBase &editor_;
    bool painted_ = false;
};
