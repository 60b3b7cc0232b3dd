#include "core/browser/render_tab.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QSet>
#include <cmath>

namespace {

using Silence = DevToolsConnection::Silence;

RenderFailure failureOf(Silence silence) {
    switch (silence) {
        case Silence::TimeUp:
            return {RenderFailure::Kind::TimeUp, {}};
        case Silence::Gone:
            return {RenderFailure::Kind::BrowserGone, {}};
        case Silence::Interrupted:
            return {RenderFailure::Kind::Interrupted, {}};
    }
    return {};
}

QString errorOf(const QJsonObject &answer) {
    return answer.value(QLatin1String("error"))
        .toObject()
        .value(QLatin1String("message"))
        .toString();
}

QString method(const QJsonObject &message) {
    return message.value(QLatin1String("method")).toString();
}

QJsonObject params(const QJsonObject &message) {
    return message.value(QLatin1String("params")).toObject();
}

// The content types a browser shows as a document. A page the browser would rather save, such as
// a server's template (.asp, .php) read from the disk, is shown as HTML, as its server sends it.
bool showsAsDocument(const QString &type) {
    static const QSet<QString> shown{
        QStringLiteral("text/html"),     QStringLiteral("application/xhtml+xml"),
        QStringLiteral("text/xml"),      QStringLiteral("application/xml"),
        QStringLiteral("image/svg+xml"), QStringLiteral("text/plain"),
    };
    return shown.contains(type.section(u';', 0, 0).trimmed().toLower());
}

// The headers the browser gave the file, to answer with other bytes: its own content type where
// it shows that as a document, else HTML.
QJsonArray headersFor(const QJsonObject &paused) {
    QJsonArray headers;
    bool typed = false;
    for (const QJsonValue value : paused.value(QLatin1String("responseHeaders")).toArray()) {
        const QJsonObject header = value.toObject();
        const QString name = header.value(QLatin1String("name")).toString();
        if (name.compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0) {
            if (!showsAsDocument(header.value(QLatin1String("value")).toString())) continue;
            typed = true;
        }
        headers.append(header);
    }
    if (!typed)
        headers.append(QJsonObject{{QLatin1String("name"), QLatin1String("Content-Type")},
                                   {QLatin1String("value"), QLatin1String("text/html")}});
    return headers;
}

}  // namespace

RenderTab::RenderTab(DevToolsConnection &connection)
    : connection_(connection), inbox_(connection) {}

RenderTab::~RenderTab() {
    // Closing the context closes its tab too; neither answer is waited for.
    if (!target_.isEmpty())
        connection_.send(inbox_, QStringLiteral("Target.closeTarget"),
                         {{QLatin1String("targetId"), target_}});
    if (!context_.isEmpty())
        connection_.send(inbox_, QStringLiteral("Target.disposeBrowserContext"),
                         {{QLatin1String("browserContextId"), context_}});
}

std::variant<QJsonObject, RenderFailure> RenderTab::call(const QString &name,
                                                         const QJsonObject &arguments,
                                                         Deadline deadline) {
    const auto answer = connection_.call(inbox_, name, arguments, session_, deadline);
    if (const auto *silence = std::get_if<Silence>(&answer)) return failureOf(*silence);
    const QJsonObject &message = std::get<QJsonObject>(answer);
    if (message.contains(QLatin1String("error")))
        return RenderFailure{RenderFailure::Kind::NotShown,
                             name + QStringLiteral("：") + errorOf(message)};
    return message.value(QLatin1String("result")).toObject();
}

std::variant<std::unique_ptr<RenderTab>, RenderFailure> RenderTab::open(
    DevToolsConnection &connection, Deadline deadline) {
    std::unique_ptr<RenderTab> tab(new RenderTab(connection));
    const auto result = [&](const QString &name, const QJsonObject &arguments,
                            QLatin1String key) -> std::variant<QString, RenderFailure> {
        auto answer = tab->call(name, arguments, deadline);
        if (auto *failure = std::get_if<RenderFailure>(&answer)) return *failure;
        return std::get<QJsonObject>(answer).value(key).toString();
    };
    const auto take = [](std::variant<QString, RenderFailure> answer, QString &into) {
        if (auto *value = std::get_if<QString>(&answer)) into = *value;
        return std::get_if<RenderFailure>(&answer) ? std::optional(std::get<RenderFailure>(answer))
                                                   : std::nullopt;
    };
    if (auto failure = take(result(QStringLiteral("Target.createBrowserContext"), {},
                                   QLatin1String("browserContextId")),
                            tab->context_))
        return *failure;
    if (auto failure = take(result(QStringLiteral("Target.createTarget"),
                                   {{QLatin1String("url"), QLatin1String("about:blank")},
                                    {QLatin1String("browserContextId"), tab->context_}},
                                   QLatin1String("targetId")),
                            tab->target_))
        return *failure;
    QString session;
    if (auto failure = take(
            result(QStringLiteral("Target.attachToTarget"),
                   {{QLatin1String("targetId"), tab->target_}, {QLatin1String("flatten"), true}},
                   QLatin1String("sessionId")),
            session))
        return *failure;
    connection.route(session, tab->inbox_);
    tab->session_ = session;

    const QJsonObject offline{{QLatin1String("offline"), true},
                              {QLatin1String("latency"), 0},
                              {QLatin1String("downloadThroughput"), -1},
                              {QLatin1String("uploadThroughput"), -1}};
    // Paused once the browser has the file's headers, whatever a page's file holds.
    const QJsonObject documents{{QLatin1String("urlPattern"), QLatin1String("*")},
                                {QLatin1String("resourceType"), QLatin1String("Document")},
                                {QLatin1String("requestStage"), QLatin1String("Response")}};
    const QJsonObject window{{QLatin1String("width"), kWindow.width()},
                             {QLatin1String("height"), kWindow.height()},
                             {QLatin1String("deviceScaleFactor"), 1},
                             {QLatin1String("mobile"), false}};
    const std::pair<const char *, QJsonObject> setUp[] = {
        {"Page.enable", {}},
        {"Page.setLifecycleEventsEnabled", {{QLatin1String("enabled"), true}}},
        // The network's conditions hold only where the network domain is on.
        {"Network.enable", {}},
        {"Network.emulateNetworkConditions", offline},
        {"Fetch.enable", {{QLatin1String("patterns"), QJsonArray{documents}}}},
        {"Emulation.setDeviceMetricsOverride", window},
        {"Animation.enable", {}},
        {"Animation.setPlaybackRate", {{QLatin1String("playbackRate"), 0}}},
    };
    for (const auto &[name, arguments] : setUp) {
        auto answer = tab->call(QLatin1String(name), arguments, deadline);
        if (auto *failure = std::get_if<RenderFailure>(&answer)) return *failure;
    }
    auto tree = tab->call(QStringLiteral("Page.getFrameTree"), {}, deadline);
    if (auto *failure = std::get_if<RenderFailure>(&tree)) return *failure;
    tab->frame_ = std::get<QJsonObject>(tree)
                      .value(QLatin1String("frameTree"))
                      .toObject()
                      .value(QLatin1String("frame"))
                      .toObject()
                      .value(QLatin1String("id"))
                      .toString();
    return tab;
}

std::optional<RenderFailure> RenderTab::show(const QString &url, const QByteArray &bytes,
                                             bool scripts, Deadline deadline) {
    if (scripts_ != scripts) {
        auto answer = call(QStringLiteral("Emulation.setScriptExecutionDisabled"),
                           {{QLatin1String("value"), !scripts}}, deadline);
        if (auto *failure = std::get_if<RenderFailure>(&answer)) return *failure;
        scripts_ = scripts;
    }
    const int navigation = connection_.send(inbox_, QStringLiteral("Page.navigate"),
                                            {{QLatin1String("url"), url}}, session_);
    QString loader;
    QSet<QString> loaded;
    bool answered = false;
    QSet<int> answers;  // the ids of the answers to the page's request, each due
    while (loader.isEmpty() || !loaded.contains(loader)) {
        const auto next = connection_.next(inbox_, deadline);
        if (const auto *silence = std::get_if<Silence>(&next)) return failureOf(*silence);
        const QJsonObject &message = std::get<QJsonObject>(next);
        const QString event = method(message);
        const QJsonObject about = params(message);
        if (const int id = message.value(QLatin1String("id")).toInt(-1); id == navigation) {
            const QString error = message.contains(QLatin1String("error"))
                                      ? errorOf(message)
                                      : message.value(QLatin1String("result"))
                                            .toObject()
                                            .value(QLatin1String("errorText"))
                                            .toString();
            if (!error.isEmpty()) return RenderFailure{RenderFailure::Kind::NotShown, error};
            loader = message.value(QLatin1String("result"))
                         .toObject()
                         .value(QLatin1String("loaderId"))
                         .toString();
        } else if (answers.remove(id) && message.contains(QLatin1String("error"))) {
            return RenderFailure{RenderFailure::Kind::NotShown, errorOf(message)};
        } else if (event == u"Fetch.requestPaused") {
            const QJsonValue request = about.value(QLatin1String("requestId"));
            // The page's own request, once; a frame's, or a page's script going elsewhere, as the
            // disk has it.
            const bool page =
                !answered && about.value(QLatin1String("frameId")).toString() == frame_;
            if (page) {
                int status = about.value(QLatin1String("responseStatusCode")).toInt(200);
                answers.insert(connection_.send(
                    inbox_, QStringLiteral("Fetch.fulfillRequest"),
                    {{QLatin1String("requestId"), request},
                     {QLatin1String("responseCode"), status >= 200 && status < 300 ? status : 200},
                     {QLatin1String("responseHeaders"), headersFor(about)},
                     {QLatin1String("body"), QString::fromLatin1(bytes.toBase64())}},
                    session_));
                answered = true;
            } else {
                connection_.send(inbox_, QStringLiteral("Fetch.continueRequest"),
                                 {{QLatin1String("requestId"), request}}, session_);
            }
        } else if (event == u"Page.lifecycleEvent") {
            if (about.value(QLatin1String("frameId")).toString() == frame_ &&
                about.value(QLatin1String("name")).toString() == u"load")
                loaded.insert(about.value(QLatin1String("loaderId")).toString());
        } else if (event == u"Inspector.targetCrashed") {
            return RenderFailure{RenderFailure::Kind::TabCrashed, {}};
        } else if (event == u"Inspector.detached" || event == u"Target.detachedFromTarget") {
            return RenderFailure{RenderFailure::Kind::TabCrashed,
                                 about.value(QLatin1String("reason")).toString()};
        }
    }
    // Shown from the disk, its bytes would be compared with themselves.
    if (!answered)
        return RenderFailure{RenderFailure::Kind::NotShown, QStringLiteral("页面的请求没有被拦截")};
    return std::nullopt;
}

std::variant<QJsonValue, RenderFailure> RenderTab::evaluate(const QString &script,
                                                            Deadline deadline) {
    auto world = call(QStringLiteral("Page.createIsolatedWorld"),
                      {{QLatin1String("frameId"), frame_},
                       {QLatin1String("worldName"), QLatin1String("zerediz")}},
                      deadline);
    if (auto *failure = std::get_if<RenderFailure>(&world)) return *failure;
    auto run = call(QStringLiteral("Runtime.evaluate"),
                    {{QLatin1String("expression"), script},
                     {QLatin1String("contextId"),
                      std::get<QJsonObject>(world).value(QLatin1String("executionContextId"))},
                     {QLatin1String("returnByValue"), true},
                     {QLatin1String("awaitPromise"), true}},
                    deadline);
    if (auto *failure = std::get_if<RenderFailure>(&run)) return *failure;
    const QJsonObject &answer = std::get<QJsonObject>(run);
    if (answer.contains(QLatin1String("exceptionDetails"))) {
        const QJsonObject details = answer.value(QLatin1String("exceptionDetails")).toObject();
        const QString thrown = details.value(QLatin1String("exception"))
                                   .toObject()
                                   .value(QLatin1String("description"))
                                   .toString();
        return RenderFailure{RenderFailure::Kind::NotShown,
                             thrown.isEmpty() ? details.value(QLatin1String("text")).toString()
                                              : thrown.section(u'\n', 0, 0)};
    }
    return answer.value(QLatin1String("result")).toObject().value(QLatin1String("value"));
}

std::variant<PageRendering, RenderFailure> RenderTab::read(const PageReading &reading,
                                                           Deadline deadline) {
    auto value = evaluate(readingScript(reading), deadline);
    if (auto *failure = std::get_if<RenderFailure>(&value)) return *failure;
    const QJsonObject shown = std::get<QJsonValue>(value).toObject();
    PageRendering rendering;
    rendering.text = shown.value(QLatin1String("text")).toString();
    for (const QJsonValue attribute : shown.value(QLatin1String("attributes")).toArray()) {
        const QJsonArray parts = attribute.toArray();
        rendering.attributes.append(
            {parts.at(0).toString(), parts.at(1).toString(), parts.at(2).toString()});
    }
    rendering.charset = shown.value(QLatin1String("charset")).toString();
    if (!reading.look) return rendering;
    rendering.look =
        QByteArray::fromBase64(shown.value(QLatin1String("look")).toString().toLatin1());
    for (const QJsonValue region : shown.value(QLatin1String("regions")).toArray()) {
        const QJsonArray parts = region.toArray();
        rendering.regions.append(
            {parts.at(0).toString(), QRectF(parts.at(1).toDouble(), parts.at(2).toDouble(),
                                            parts.at(3).toDouble(), parts.at(4).toDouble())});
    }
    rendering.wholePicture = shown.value(QLatin1String("whole")).toBool();
    rendering.scripted = shown.value(QLatin1String("scripted")).toBool(true);
    return rendering;
}

std::variant<QByteArray, RenderFailure> RenderTab::screenshot(const QRectF &area,
                                                              Deadline deadline) {
    // PNG, which loses nothing; encoded for speed, which a digest does not mind. Beyond the
    // window, as the page is laid out whole.
    auto shot = call(QStringLiteral("Page.captureScreenshot"),
                     {{QLatin1String("format"), QLatin1String("png")},
                      {QLatin1String("clip"), QJsonObject{{QLatin1String("x"), area.x()},
                                                          {QLatin1String("y"), area.y()},
                                                          {QLatin1String("width"), area.width()},
                                                          {QLatin1String("height"), area.height()},
                                                          {QLatin1String("scale"), 1}}},
                      {QLatin1String("captureBeyondViewport"), true},
                      {QLatin1String("optimizeForSpeed"), true}},
                     deadline);
    if (auto *failure = std::get_if<RenderFailure>(&shot)) return *failure;
    // The same picture is the same text of base64: it need not be decoded.
    return QCryptographicHash::hash(
        std::get<QJsonObject>(shot).value(QLatin1String("data")).toString().toLatin1(),
        QCryptographicHash::Sha256);
}

std::optional<RenderFailure> RenderTab::photograph(PageRendering &rendering, Deadline deadline) {
    rendering.regionPictures.clear();
    for (const PictureRegion &region : rendering.regions) {
        auto shot = screenshot(region.area, deadline);
        if (auto *failure = std::get_if<RenderFailure>(&shot)) return *failure;
        rendering.regionPictures.append(std::get<QByteArray>(shot));
    }
    if (rendering.wholePicture) return photographPage(rendering, deadline);
    return std::nullopt;
}

std::optional<RenderFailure> RenderTab::photographPage(PageRendering &rendering,
                                                       Deadline deadline) {
    if (!rendering.pagePicture.isEmpty()) return std::nullopt;
    auto metrics = call(QStringLiteral("Page.getLayoutMetrics"), {}, deadline);
    if (auto *failure = std::get_if<RenderFailure>(&metrics)) return *failure;
    const QJsonObject size =
        std::get<QJsonObject>(metrics).value(QLatin1String("cssContentSize")).toObject();
    rendering.pictureSize = {
        qMax(kWindow.width(), int(std::ceil(size.value(QLatin1String("width")).toDouble()))),
        qMax(kWindow.height(), int(std::ceil(size.value(QLatin1String("height")).toDouble())))};
    auto shot = screenshot(QRectF(QPointF(), QSizeF(rendering.pictureSize)), deadline);
    if (auto *failure = std::get_if<RenderFailure>(&shot)) return *failure;
    rendering.pagePicture = std::get<QByteArray>(shot);
    return std::nullopt;
}

std::variant<bool, RenderFailure> RenderTab::become(const QByteArray &bytes, const QString &charset,
                                                    Deadline deadline) {
    auto value = evaluate(becomeScript(bytes, charset), deadline);
    if (auto *failure = std::get_if<RenderFailure>(&value)) return *failure;
    return std::get<QJsonValue>(value).toObject().value(QLatin1String("same")).toBool();
}

std::variant<QStringList, RenderFailure> RenderTab::lookEntry(const QString &key, qsizetype index,
                                                              Deadline deadline) {
    auto value = evaluate(lookEntryScript(key, index), deadline);
    if (auto *failure = std::get_if<RenderFailure>(&value)) return *failure;
    QStringList entry;
    for (const QJsonValue part : std::get<QJsonValue>(value).toArray())
        entry.append(part.toString());
    return entry;
}
