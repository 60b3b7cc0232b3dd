#include "measurements.h"

#include <fcntl.h>
#include <unistd.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <cstring>
#include <stdexcept>

#include "bench_window.h"
#include "core/pages/open_page.h"
#include "core/trim/line_trim.h"
#include "timing.h"

namespace {

void writeAll(int fd, QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) throw std::runtime_error("write failed");
        bytes = bytes.sliced(written);
    }
}

void writeFile(QByteArrayView bytes, const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path.toStdString());
    writeAll(fd, bytes);
    ::close(fd);
}

}  // namespace

double trimSeconds(QByteArrayView page, int repetitions) {
    return medianOf(repetitions, [&] {
        QByteArray trimmed;  // freed after the timing, as the loader frees it later too
        return secondsOf([&] { trimmed = trimLines(page); });
    });
}

double memcpySeconds(QByteArrayView page, int repetitions) {
    QByteArray target(page.size(), '\0');
    const double seconds = medianOf(repetitions, [&] {
        return secondsOf([&] { std::memcpy(target.data(), page.data(), page.size()); });
    });
    if (target != page) throw std::runtime_error("memcpy went wrong");
    return seconds;
}

double openOnce(BenchWindow &window, const QString &path, const QString &emptyPath) {
    window.open(emptyPath);
    return secondsOf([&] { window.open(path); });
}

double openSeconds(BenchWindow &window, const QString &path, const QString &emptyPath,
                   int repetitions) {
    return medianOf(repetitions, [&] { return openOnce(window, path, emptyPath); });
}

double readTrimSeconds(const QString &path) {
    Result<TextBuffer> document;
    const double seconds = secondsOf([&] { document = openPage(path); });
    if (!std::holds_alternative<TextBuffer>(document))
        throw std::runtime_error("cannot load " + path.toStdString());
    return seconds;
}

double typedKeySeconds(BenchWindow &window, int repetitions) {
    return medianOf(repetitions, [&] {
        return secondsOf([&] { window.press(Qt::Key_A, Qt::NoModifier, QStringLiteral("a")); });
    });
}

double caretToEndSeconds(BenchWindow &window, int repetitions) {
    return medianOf(repetitions, [&] {
        const double seconds = secondsOf([&] { window.press(Qt::Key_End, Qt::ControlModifier); });
        window.press(Qt::Key_Home, Qt::ControlModifier);
        return seconds;
    });
}

double caretToStartSeconds(BenchWindow &window, int repetitions) {
    return medianOf(repetitions, [&] {
        const double seconds = secondsOf([&] { window.press(Qt::Key_Home, Qt::ControlModifier); });
        window.press(Qt::Key_End, Qt::NoModifier);
        return seconds;
    });
}

double saveSeconds(BenchWindow &window, const QString &path, int repetitions) {
    window.save(path);  // every timed run replaces an existing file, as writeSeconds does
    return medianOf(repetitions, [&] { return secondsOf([&] { window.save(path); }); });
}

double writeSeconds(QByteArrayView bytes, const QString &path, int repetitions) {
    writeFile(bytes, path);
    return medianOf(repetitions, [&] { return secondsOf([&] { writeFile(bytes, path); }); });
}
