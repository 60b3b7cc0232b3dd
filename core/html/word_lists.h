#pragma once

#include <QByteArrayView>
#include <algorithm>
#include <initializer_list>
#include <string_view>

// Whether a name read from a page is one of a few known ones, byte for byte: the readers of
// style sheets and scripts compare their keywords so, after folding whatever case they fold.
inline bool isOneOf(QByteArrayView name, std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(), [name](std::string_view known) {
        return name == QByteArrayView(known.data(), qsizetype(known.size()));
    });
}
