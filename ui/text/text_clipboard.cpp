#include "ui/text/text_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScopeGuard>

#include "ui/text/text_editor.h"
#include "ui/text/text_mime_data.h"

namespace {

// From this much on, copying keeps the event loop waiting long enough to show the wait cursor.
constexpr qsizetype kBusyBytes = qsizetype{1} << 20;

bool platformSupportsSelection() {
    return QGuiApplication::clipboard()->supportsSelection();
}

const QMimeData *platformSelection() {
    return QGuiApplication::clipboard()->mimeData(QClipboard::Selection);
}

void offerPlatformSelection(QMimeData *data) {
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Selection);
}

void withdrawPlatformSelection() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->ownsSelection()) clipboard->clear(QClipboard::Selection);
}

}  // namespace

std::optional<QByteArray> clipboardBytes() {
    return TextMimeData::bytesFrom(QGuiApplication::clipboard()->mimeData());
}

void putOnClipboard(qsizetype bytes, const std::function<QByteArray()> &make) {
    const auto put = [&make] {
        QGuiApplication::clipboard()->setMimeData(new TextMimeData(make()));
    };
    if (bytes < kBusyBytes) return put();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    put();
}

PrimarySelection &primarySelection() {
    static PrimarySelection selection{&platformSupportsSelection, &platformSelection,
                                      &offerPlatformSelection, &withdrawPlatformSelection};
    return selection;
}

std::optional<QByteArray> primarySelectionBytes() {
    const PrimarySelection &selection = primarySelection();
    if (!selection.supported()) return std::nullopt;
    return TextMimeData::bytesFrom(selection.held());
}

QMimeData *selectionMimeData(const TextEditor &editor) {
    return new TextMimeData([editor = QPointer<const TextEditor>(&editor)] {
        return editor ? editor->cursor().selectedBytes() : QByteArray();
    });
}

PrimarySelectionOffer::~PrimarySelectionOffer() {
    // What the area no longer has is no longer offered.
    if (offered_) primarySelection().withdraw();
}

void PrimarySelectionOffer::update() {
    const PrimarySelection &selection = primarySelection();
    if (!selection.supported()) return;
    if (editor_.hasSelection()) {
        // Another program that took it meanwhile has made Qt let go of ours.
        if (!offered_) {
            offered_ = selectionMimeData(editor_);
            selection.offer(offered_);
        }
    } else if (offered_) {
        selection.withdraw();
    }
}
