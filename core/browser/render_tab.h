#pragma once

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

#include "core/browser/devtools_connection.h"
#include "core/browser/page_scripts.h"

// The value of an attribute that a person sees: a tooltip (title), an image's stand-in text
// (alt), a field's hint (placeholder) or content (value).
struct SeenAttribute {
    QString element;  // its tag and its number among the elements of that tag: "img 3"
    QString name;
    QString value;
    friend bool operator==(const SeenAttribute &, const SeenAttribute &) = default;
};

// A part of a page that its look cannot tell: a canvas, a video, a frame that may not be read, a
// picture a script made. Where it lies, in CSS pixels of the whole page.
struct PictureRegion {
    QString element;  // "canvas 1"
    QRectF area;
    friend bool operator==(const PictureRegion &, const PictureRegion &) = default;
};

// What a person sees of a page once a browser has shown it.
struct PageRendering {
    // The title, the rendered text (innerText, which a browser gives as it lays the page out:
    // collapsed spaces are gone, kept ones are there) and the content of each text area.
    QString text;
    QList<SeenAttribute> attributes;
    // What the browser lays out and paints from, as two 32-bit hashes of each of its entries
    // (see readingScript); empty where it was not read.
    QByteArray look;
    QList<PictureRegion> regions;  // where the look cannot tell
    bool wholePicture = false;     // the look cannot tell at all
    // Anything in the page runs scripts, or shows only without them; where the look was not read,
    // it is not known, and taken to.
    bool scripted = true;
    QString charset;  // the encoding the browser read the page in
    // A digest of the picture of each region; empty where none was taken.
    QList<QByteArray> regionPictures;
    // A digest of the picture of the whole page, and its size in CSS pixels; empty where none was
    // taken.
    QByteArray pagePicture;
    QSize pictureSize;
};

// Why a tab could not show a page.
struct RenderFailure {
    enum class Kind {
        TimeUp,       // the page was not shown by its deadline
        TabCrashed,   // the renderer of the tab died
        BrowserGone,  // the browser itself ended
        NotShown,     // the browser would not show it; detail says why
        Interrupted,  // a stop signal came
        // Not a tab's failure but a page's: it looks different from one showing to the next (an
        // animation, a script), so no difference can be put down to its compression.
        Unsteady,
        // Not shown at all: the browser had ended for good before the page's turn came.
        GaveUp,
    };
    Kind kind = Kind::NotShown;
    QString detail;
};

// One tab of a browser, which shows pages given as bytes at the address of their file: the
// request for the page's own address is answered with the bytes, under the headers the browser
// gives the file itself, so that the page's encoding is sniffed and its relative links resolve
// as from the file on the disk, while the file need not hold those bytes. Everything else the
// page loads comes from the disk as it is; the network is off, so that two renders of a page see
// the same, and animations are held at their start, so that they give the same picture. The
// window is 1024×768 pixels at a scale of 1.
//
// Each tab has a browser context of its own: tabs never share a renderer then, so that a page
// that hangs its renderer holds up no other.
class RenderTab {
public:
    static constexpr QSize kWindow{1024, 768};

    static std::variant<std::unique_ptr<RenderTab>, RenderFailure> open(
        DevToolsConnection &connection, Deadline deadline);
    // Closes the tab and its context, which ends its renderer even where a page hangs it.
    ~RenderTab();
    RenderTab(const RenderTab &) = delete;
    RenderTab &operator=(const RenderTab &) = delete;

    // Shows bytes as the page at url (file://...), with its scripts run or not, until it has
    // loaded.
    std::optional<RenderFailure> show(const QString &url, const QByteArray &bytes, bool scripts,
                                      Deadline deadline);
    // What a person sees of the page shown (see readingScript).
    std::variant<PageRendering, RenderFailure> read(const PageReading &reading, Deadline deadline);
    // Photographs what the look of rendering, read from the page shown, cannot tell: its regions,
    // or the whole page where the look cannot tell at all; the digests go into rendering.
    std::optional<RenderFailure> photograph(PageRendering &rendering, Deadline deadline);
    // Photographs the whole page shown, as rendering.pagePicture. It takes the longest.
    std::optional<RenderFailure> photographPage(PageRendering &rendering, Deadline deadline);
    // Makes the page shown, which no script has changed, into the page of bytes read in charset
    // (see becomeScript): whether it could.
    std::variant<bool, RenderFailure> become(const QByteArray &bytes, const QString &charset,
                                             Deadline deadline);
    // The entry at index of the look read under key: its label, then each field's name and value.
    std::variant<QStringList, RenderFailure> lookEntry(const QString &key, qsizetype index,
                                                       Deadline deadline);

private:
    explicit RenderTab(DevToolsConnection &connection);
    // Calls a method of the tab's session: its result, or why there is none.
    std::variant<QJsonObject, RenderFailure> call(const QString &method, const QJsonObject &params,
                                                  Deadline deadline);
    // Runs a script in a world of its own in the page shown: the value it gives.
    std::variant<QJsonValue, RenderFailure> evaluate(const QString &script, Deadline deadline);
    std::variant<QByteArray, RenderFailure> screenshot(const QRectF &area, Deadline deadline);

    DevToolsConnection &connection_;
    DevToolsConnection::Inbox inbox_;
    QString context_;
    QString target_;
    QString session_;
    QString frame_;  // the main frame's id
    std::optional<bool> scripts_;
};
