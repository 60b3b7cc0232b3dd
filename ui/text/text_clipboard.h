#pragma once

#include <QByteArray>
#include <QPointer>
#include <functional>
#include <optional>

class QMimeData;
class TextEditor;

// The text on the clipboard, as exact bytes where a text area put it there; none where it holds
// no text.
std::optional<QByteArray> clipboardBytes();
// Puts what make gives on the clipboard, under the wait cursor where bytes, the length of what it
// gives, are enough to keep the event loop waiting.
void putOnClipboard(qsizetype bytes, const std::function<QByteArray()> &make);

// X11's primary selection as a text area reaches it: whether the platform has one, what it holds,
// and the area's offer of its own selection. One seam, so that what the area offers and pastes can
// be tried on a platform that has none.
struct PrimarySelection {
    bool (*supported)();
    // What it holds, from whichever program, or null.
    const QMimeData *(*held)();
    // Makes data, which is the platform's from then on, what it holds; the platform deletes it
    // when another selection takes its place.
    void (*offer)(QMimeData *data);
    // Empties it where what it holds is this program's.
    void (*withdraw)();
};
PrimarySelection &primarySelection();

// The text the primary selection holds, as exact bytes where a text area offered it; none where
// the platform has no primary selection or it holds no text.
std::optional<QByteArray> primarySelectionBytes();

// The mime data of a text area's primary selection: its selection as it is when a program asks
// for it, and nothing once the area is gone.
QMimeData *selectionMimeData(const TextEditor &editor);

// A text area's selection as the primary selection, as X11 programs offer theirs: the selection
// itself, read when a program asks for it, so that no change of the selection copies it. While
// the area has a selection, it holds the primary selection; when it has none, it gives it up, as
// GTK's text views do, rather than keep a copy.
class PrimarySelectionOffer {
public:
    explicit PrimarySelectionOffer(const TextEditor &editor) : editor_(editor) {}
    ~PrimarySelectionOffer();
    PrimarySelectionOffer(const PrimarySelectionOffer &) = delete;
    PrimarySelectionOffer &operator=(const PrimarySelectionOffer &) = delete;

    // Offers the selection or gives the primary selection up, after the selection changed.
    void update();

private:
    const TextEditor &editor_;
    // What the area offered, until the platform lets go of it.
    QPointer<QMimeData> offered_;
};
