#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QMimeData;
class QWidget;

// Takes local files dropped on the widgets it watches. A drag that carries links is judged by
// its first one: a local file is taken, anything else (a remote address, a folder) is refused
// while the drag moves, so that the pointer shows it. Drags without links, text among them, are
// left to the widget.
class FileDrop : public QObject {
    Q_OBJECT

public:
    explicit FileDrop(QObject *parent);

    void watch(QWidget *widget);

    // The local file that a drag of data would drop, if it is one.
    static std::optional<QString> droppedFile(const QMimeData &data);

signals:
    // Emitted once the drop is over, so that the program the file came from is not kept waiting
    // while the file loads or an error is shown.
    void fileDropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
