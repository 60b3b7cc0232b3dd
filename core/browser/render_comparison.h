#pragma once

#include <QSize>
#include <QString>
#include <optional>

#include "core/browser/render_tab.h"

// What tells a page as it is and as it would be written apart, once a browser has shown both.
struct RenderDifference {
    enum class Kind { Text, Attribute, Picture };
    Kind kind = Kind::Text;
    bool scriptsOff = false;  // seen with the page's scripts off
    qsizetype line = 0;       // Text: the first line that differs, from 1
    QString element;          // Attribute: "img 3", and the attribute's name
    QString name;
    QString before;  // Text: that line; Attribute: the value; empty where it is not there
    QString after;
    QSize sizeBefore;  // Picture
    QSize sizeAfter;
};

// The first difference between two renderings, or none where they look the same: the text
// first, then the attributes in the order of the page, then the pictures, where both have one.
std::optional<RenderDifference> firstDifference(const PageRendering &before,
                                                const PageRendering &after);

// What differs, as a short phrase in the interface's language.
QString renderDifferenceText(const RenderDifference &difference);
// Why a page could not be checked, likewise; seconds is the time limit it did not make.
QString renderFailureText(const RenderFailure &failure, int seconds);
