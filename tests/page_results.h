#pragma once

#include <QDebug>
#include <QString>
#include <variant>

#include "core/files/file_error.h"
#include "core/files/file_error_text.h"
#include "core/pages/open_page.h"

// What opening or saving a page gave, as the tests of the core look at it.

// The document that opening the page at path gives; an empty one where it cannot be opened.
inline TextBuffer opened(const QString &path) {
    auto document = openPage(path);
    if (auto *text = std::get_if<TextBuffer>(&document)) return std::move(*text);
    qWarning() << "cannot open" << path;
    return {};
}

// Why a save or an open failed, as both programs word it; empty where it did not.
template <typename Result>
QString failure(const Result &result) {
    const auto *error = std::get_if<FileError>(&result);
    return error ? fileErrorText(*error) : QString();
}
