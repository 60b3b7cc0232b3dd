#pragma once

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "core/encoding/converter.h"
#include "scripted_dialogs.h"
#include "test_folder.h"
#include "ui/main/form1.h"
#include "ui/main/text_area.h"

// A real main window with scripted dialogs and recorded message boxes.
struct Form1Harness {
    ScriptedDialogs dialogs;
    Form1 form{dialogs};

    TextArea &text() const { return *form.findChild<TextArea *>(QStringLiteral("Text1")); }
    QByteArray textBytes() const { return text().bytes().toByteArray(); }

    void click(const char *button) {
        form.findChild<QPushButton *>(QLatin1String(button))->click();
    }
    // Clicks "打开网页文件" and answers the dialog with path, or cancels it for nullopt.
    void open(std::optional<QString> path) {
        dialogs.files.append(std::move(path));
        click("Command1");
    }
    // Clicks "压缩并保存为" and answers the dialog with path, or cancels it for nullopt.
    void save(std::optional<QString> path) {
        dialogs.files.append(std::move(path));
        click("Command2");
    }
    // Drags data over the point of the shown window, in the window's coordinates, and drops it
    // there, as the desktop does; returns whether the window took it. A drag that is refused
    // while it moves is not dropped.
    bool drop(const QMimeData &data, QPoint point, Qt::DropActions offered) {
        QWindow *window = form.windowHandle();
        QDragEnterEvent enter(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QDragMoveEvent move(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &move);
        if (!enter.isAccepted() || !move.isAccepted()) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(window, &leave);
            return false;
        }
        QDropEvent dropped(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &dropped);
        // What the window does after the drop is over.
        QCoreApplication::sendPostedEvents();
        return dropped.isAccepted();
    }
    // Puts text into the text area as if it had been loaded in the given encoding.
    void setText(const QByteArray &bytes, FileEncoding encoding = FileEncoding::Utf8) {
        text().setDocument({bytes, encoding});
    }
    // The text area's document as it is stored on disk.
    QByteArray encodedText() const {
        const auto stored = encodeDocument(text().bytes(), text().encoding());
        return std::get_if<QByteArray>(&stored) ? std::get<QByteArray>(stored) : QByteArray();
    }
};

// Names an encoding in a failed comparison.
inline char *toString(const FileEncoding &encoding) {
    return qstrdup(encoding.name());
}
