#pragma once

#include <QSize>
#include <QString>
#include <optional>

#include "core/browser/render_tab.h"

// What tells a page as it is and as it would be written apart, once a browser has shown both.
struct RenderDifference {
    enum class Kind {
        Text,
        Attribute,  // one a person sees: title, alt, placeholder, value
        Look,       // what the browser lays out and paints from
        Picture,    // where the look cannot tell
    };
    Kind kind = Kind::Text;
    bool scriptsOff = false;  // seen with the page's scripts off
    qsizetype line = 0;       // Text: the first line that differs, from 1
    // Attribute: "img 3", and the attribute's name. Look: the entry's label ("div 3", "#text 5",
    // "sheet 1", "document", "state", "iframe 1/p 2"), and the field that differs ("rects",
    // "@class", ...), once describeLook has found it. Picture: the region's element, or empty
    // for the whole page.
    QString element;
    QString name;
    // Text: that line; Attribute, Look: the value; empty where it is not there.
    QString before;
    QString after;
    qsizetype entry = -1;  // Look: the index of the entry that differs
    QSize sizeBefore;      // Picture of the whole page
    QSize sizeAfter;
};

// The first difference between two renderings, or none where they look the same: the text
// first, then the attributes in the order of the page, then the look, then the pictures of its
// regions, then the pictures of the whole pages, where both have them. Where both whole pages were
// photographed, a difference of the look counts only where their pictures differ too. A difference
// of the look names only its entry, until describeLook fills it in.
std::optional<RenderDifference> firstDifference(const PageRendering &before,
                                                const PageRendering &after);

// Fills in a difference of the look from its entry as each page gave it (RenderTab::lookEntry):
// the element, the first field that differs and its two values.
void describeLook(RenderDifference &difference, const QStringList &before,
                  const QStringList &after);

// What differs, as a short phrase in the interface's language.
QString renderDifferenceText(const RenderDifference &difference);
// Why a page could not be checked, likewise; seconds is the time limit it did not make.
QString renderFailureText(const RenderFailure &failure, int seconds);
