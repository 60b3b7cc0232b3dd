#include "ui/main/file_drop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

FileDrop::FileDrop(QObject *parent) : QObject(parent) {}

void FileDrop::watch(QWidget *widget) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

std::optional<QString> FileDrop::droppedFile(const QMimeData &data) {
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty()) return std::nullopt;
    const QUrl &url = urls.first();
    // A file URL naming another host is not on this machine.
    const bool local =
        url.isLocalFile() && (url.host().isEmpty() || url.host() == QStringLiteral("localhost"));
    if (!local) return std::nullopt;
    const QString path = url.toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) return std::nullopt;
    return path;
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (!drop->mimeData()->hasUrls()) return false;

    const std::optional<QString> path = droppedFile(*drop->mimeData());
    // Taken only as a copy: a source offered nothing but a move would delete its file afterwards.
    if (!path || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        QMetaObject::invokeMethod(
            this, [this, path = *path] { emit fileDropped(path); }, Qt::QueuedConnection);
    }
    return true;
}
