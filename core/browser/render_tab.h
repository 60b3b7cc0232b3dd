#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

#include "core/browser/devtools_connection.h"

// The value of an attribute that a person sees: a tooltip (title), an image's stand-in text
// (alt), a field's hint (placeholder) or content (value).
struct SeenAttribute {
    QString element;  // its tag and its number among the elements of that tag: "img 3"
    QString name;
    QString value;
    friend bool operator==(const SeenAttribute &, const SeenAttribute &) = default;
};

// What a person sees of a page once a browser has shown it.
struct PageRendering {
    // The title, the rendered text (innerText, which a browser gives as it lays the page out:
    // collapsed spaces are gone, kept ones are there) and the content of each text area.
    QString text;
    QList<SeenAttribute> attributes;
    QByteArray picture;  // a digest of the full-page picture; empty where none was taken
    QSize pictureSize;   // in CSS pixels
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

    // Shows bytes as the page at url (file://...), with its scripts run or not, and takes what a
    // person sees of it once it has loaded: with scripts run, once the page's scripts have had
    // their load events and a frame has been drawn. The full-page picture only where asked for:
    // it takes the longest.
    std::variant<PageRendering, RenderFailure> render(const QString &url, const QByteArray &bytes,
                                                      bool scripts, bool picture,
                                                      Deadline deadline);

private:
    explicit RenderTab(DevToolsConnection &connection);
    // Calls a method of the tab's session: its result, or why there is none.
    std::variant<QJsonObject, RenderFailure> call(const QString &method, const QJsonObject &params,
                                                  Deadline deadline);
    std::optional<RenderFailure> load(const QString &url, const QByteArray &bytes,
                                      Deadline deadline);

    DevToolsConnection &connection_;
    DevToolsConnection::Inbox inbox_;
    QString context_;
    QString target_;
    QString session_;
    QString frame_;  // the main frame's id
    std::optional<bool> scripts_;
};
