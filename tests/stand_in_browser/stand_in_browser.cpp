// A stand-in for a browser of the Chromium kind, for the tests of --verify on every system, Wine
// included, which has no browser: it speaks the DevTools protocol over the pipe as Chromium does,
// as much of it as zerediz-compress uses, and "shows" a page from the bytes it is handed for it.
// Its text is the page's with the tags taken out and each run of white space made one space, as a
// browser collapses spaces, so that a page and its compressed form look the same to it; its
// picture follows its text.
//
// Its look (see readingScript) is a few entries that follow its text too, and it reads a page as
// scripted where it holds "<script". It puts a page's bytes in place of the page shown as it shows
// them, and logs that too.
//
// What it does differently is asked for by words in a page:
//   stand-in:text-differs        its text is the page's bytes as they are
//   stand-in:scripts-off-differs the same, with scripts off only
//   stand-in:title-differs       an image's title holds the page's bytes as they are; likewise
//   stand-in:alt-differs         its alt, and a text field's placeholder and value
//   stand-in:placeholder-differs
//   stand-in:value-differs
//   stand-in:line-moves          a line one pixel high lies a pixel lower for each page's spaces
//   stand-in:box-shifts          a box lies further right for each of the page's spaces
//   stand-in:colour-differs      a paragraph's colour follows the page's bytes
//   stand-in:unseen-moves        a box that its picture does not show lies further right for
//                                each of the page's spaces
//   stand-in:canvas-differs      a canvas, which its look cannot tell, shows the page's bytes
//   stand-in:picture-differs     its look cannot tell at all; its picture follows the bytes
//   stand-in:unsteady            its look is new each time it is shown
//   stand-in:cannot-become       the bytes put in place of the page do not read alike
//   stand-in:hang                the page never finishes loading
//   stand-in:crash               its tab crashes
//   stand-in:dies-in-start-N     the whole stand-in ends at once, in its first N starts
// and by ZEREDIZ_STAND_IN, a list of words for the whole run:
//   refuse   it ends at once with status 1, as a program that is no such browser
//   silent   it reads the pipe and never answers
//   pieces   it writes its messages a few bytes at a time
//   slow     it takes a while to show each page
// ZEREDIZ_STAND_IN_LOG names a file it adds a line to for each start, each page shown and each
// page put in place of one. At its start it writes a file into its profile and one into its
// temporary folder, as browsers do.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <map>
#include <string>

#include "stand_in_pipe.h"

namespace {

QStringList runWords() {
    return qEnvironmentVariable("ZEREDIZ_STAND_IN").split(u',', Qt::SkipEmptyParts);
}

void log(const QString &line) {
    const QString path = qEnvironmentVariable("ZEREDIZ_STAND_IN_LOG");
    if (path.isEmpty()) return;
    QFile file(path);
    if (file.open(QIODevice::Append)) file.write(line.toUtf8() + '\n');
}

// How many times the stand-in has started, this time included.
int startsSoFar() {
    QFile file(qEnvironmentVariable("ZEREDIZ_STAND_IN_LOG"));
    if (!file.open(QIODevice::ReadOnly)) return 1;
    int starts = 0;
    for (const QByteArray &line : file.readAll().split('\n')) starts += line.startsWith("start ");
    return starts;
}

QString collapsed(const QString &markup) {
    QString text = markup;
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text.simplified();
}

struct Session {
    QString target;
    bool scripts = true;
    QString url;
    QString pageText;
    QString rawText;
    int navigation = 0;  // the id of the navigation waiting for its page's bytes
    QString loader;
    std::map<QString, QStringList> looks;  // the entries read, by the name they are kept under
    QStringList look;                      // the entries last read, which its picture shows
};

// The spaces in a page's bytes, which the trim takes some of.
int spacesIn(const QString &page) {
    return int(page.count(u' '));
}

// The options a script of zerediz's is called with: the JSON of its last line.
QJsonObject optionsOf(const QString &script) {
    const QString call = script.trimmed().section(u'\n', -1);
    return QJsonDocument::fromJson(call.mid(call.indexOf(u'(') + 1).chopped(1).toUtf8()).object();
}

class StandIn {
public:
    StandIn() : words_(runWords()), starts_(startsSoFar()) {}

    void run() {
        QByteArray pending;
        for (;;) {
            const QByteArray bytes = readPipe();
            if (bytes.isEmpty()) return;
            pending += bytes;
            for (qsizetype end; (end = pending.indexOf('\0')) >= 0;) {
                const QJsonObject message = QJsonDocument::fromJson(pending.left(end)).object();
                pending.remove(0, end + 1);
                if (!words_.contains(QStringLiteral("silent"))) handle(message);
            }
        }
    }

private:
    void send(const QJsonObject &message) {
        const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
        if (!words_.contains(QStringLiteral("pieces"))) {
            writePipe(bytes);
            return;
        }
        for (qsizetype i = 0; i < bytes.size(); i += 5) writePipe(bytes.mid(i, 5));
    }
    void answer(const QJsonObject &command, const QJsonObject &result) {
        QJsonObject message{{QStringLiteral("id"), command.value(QStringLiteral("id"))},
                            {QStringLiteral("result"), result}};
        if (command.contains(QStringLiteral("sessionId")))
            message.insert(QStringLiteral("sessionId"), command.value(QStringLiteral("sessionId")));
        send(message);
    }
    void event(const QString &session, const QString &method, const QJsonObject &params) {
        send({{QStringLiteral("method"), method},
              {QStringLiteral("params"), params},
              {QStringLiteral("sessionId"), session}});
    }

    void handle(const QJsonObject &command) {
        const QString method = command.value(QStringLiteral("method")).toString();
        const QJsonObject params = command.value(QStringLiteral("params")).toObject();
        const QString sessionId = command.value(QStringLiteral("sessionId")).toString();
        Session *session = sessions_.count(sessionId) ? &sessions_[sessionId] : nullptr;
        const QString number = QString::number(++counter_);
        if (method == u"Browser.getVersion") {
            answer(command, {{QStringLiteral("product"), QStringLiteral("StandIn/1.0")}});
        } else if (method == u"Browser.close") {
            answer(command, {});
            ::exit(0);
        } else if (method == u"Target.createBrowserContext") {
            answer(command,
                   {{QStringLiteral("browserContextId"), QStringLiteral("context-") + number}});
        } else if (method == u"Target.createTarget") {
            answer(command, {{QStringLiteral("targetId"), QStringLiteral("target-") + number}});
        } else if (method == u"Target.attachToTarget") {
            const QString id = QStringLiteral("session-") + number;
            sessions_[id].target = params.value(QStringLiteral("targetId")).toString();
            answer(command, {{QStringLiteral("sessionId"), id}});
        } else if (method == u"Target.closeTarget") {
            answer(command, {{QStringLiteral("success"), true}});
        } else if (method == u"Page.getFrameTree" && session) {
            answer(command,
                   {{QStringLiteral("frameTree"),
                     QJsonObject{{QStringLiteral("frame"),
                                  QJsonObject{{QStringLiteral("id"), session->target}}}}}});
        } else if (method == u"Emulation.setScriptExecutionDisabled" && session) {
            session->scripts = !params.value(QStringLiteral("value")).toBool();
            answer(command, {});
        } else if (method == u"Page.navigate" && session) {
            session->navigation = command.value(QStringLiteral("id")).toInt();
            session->url = params.value(QStringLiteral("url")).toString();
            session->loader = QStringLiteral("loader-") + number;
            const QJsonArray headers{
                QJsonObject{{QStringLiteral("name"), QStringLiteral("Content-Type")},
                            {QStringLiteral("value"), QStringLiteral("text/html")}}};
            event(sessionId, QStringLiteral("Fetch.requestPaused"),
                  {{QStringLiteral("requestId"), QStringLiteral("request-") + number},
                   {QStringLiteral("frameId"), session->target},
                   {QStringLiteral("resourceType"), QStringLiteral("Document")},
                   {QStringLiteral("request"),
                    QJsonObject{{QStringLiteral("url"), params.value(QStringLiteral("url"))}}},
                   {QStringLiteral("responseStatusCode"), 200},
                   {QStringLiteral("responseHeaders"), headers}});
            log(QStringLiteral("show %1 scripts=%2")
                    .arg(params.value(QStringLiteral("url")).toString(),
                         session->scripts ? QStringLiteral("on") : QStringLiteral("off")));
        } else if (method == u"Fetch.fulfillRequest" && session) {
            answer(command, {});
            show(
                *session, sessionId,
                QByteArray::fromBase64(params.value(QStringLiteral("body")).toString().toLatin1()));
        } else if (method == u"Page.createIsolatedWorld") {
            answer(command, {{QStringLiteral("executionContextId"), counter_}});
        } else if (method == u"Runtime.evaluate" && session) {
            answer(
                command,
                {{QStringLiteral("result"),
                  QJsonObject{{QStringLiteral("type"), QStringLiteral("object")},
                              {QStringLiteral("value"),
                               evaluate(*session,
                                        params.value(QStringLiteral("expression")).toString())}}}});
        } else if (method == u"Page.getLayoutMetrics") {
            answer(
                command,
                {{QStringLiteral("cssContentSize"),
                  QJsonObject{{QStringLiteral("width"), 1024}, {QStringLiteral("height"), 768}}}});
        } else if (method == u"Page.captureScreenshot" && session) {
            const QJsonObject clip = params.value(QStringLiteral("clip")).toObject();
            answer(command, {{QStringLiteral("data"),
                              QString::fromLatin1(picture(*session, clip).toBase64())}});
        } else {
            answer(command, {});
        }
    }

    void show(Session &session, const QString &sessionId, const QByteArray &bytes) {
        const QString page = QString::fromUtf8(bytes);
        session.rawText = page;
        session.pageText = collapsed(page);
        const QJsonObject answer{
            {QStringLiteral("id"), session.navigation},
            {QStringLiteral("sessionId"), sessionId},
            {QStringLiteral("result"), QJsonObject{{QStringLiteral("frameId"), session.target},
                                                   {QStringLiteral("loaderId"), session.loader}}}};
        if (words_.contains(QStringLiteral("slow"))) QThread::msleep(300);
        const QRegularExpressionMatch dies =
            QRegularExpression(QStringLiteral("stand-in:dies-in-start-(\\d+)")).match(page);
        if (dies.hasMatch() && starts_ <= dies.captured(1).toInt()) dieAtOnce();
        send(answer);
        if (page.contains(QStringLiteral("stand-in:hang"))) return;
        if (page.contains(QStringLiteral("stand-in:crash"))) {
            event(sessionId, QStringLiteral("Inspector.targetCrashed"), {});
            return;
        }
        event(sessionId, QStringLiteral("Page.lifecycleEvent"),
              {{QStringLiteral("frameId"), session.target},
               {QStringLiteral("loaderId"), session.loader},
               {QStringLiteral("name"), QStringLiteral("load")}});
    }

    QJsonValue evaluate(Session &session, const QString &script) {
        const QJsonObject options = optionsOf(script);
        if (script.startsWith(QStringLiteral("// zerediz:read")))
            return rendering(session, options);
        if (script.startsWith(QStringLiteral("// zerediz:entry"))) {
            // ((key, index) => ...)("page", 3)
            const QString call = script.trimmed().section(u'\n', -1);
            const QString key = call.section(u'"', 1, 1);
            const int index = call.section(u',', -1).chopped(1).trimmed().toInt();
            return QJsonArray::fromStringList(session.looks[key].value(index).split(u'\x01'));
        }
        if (script.startsWith(QStringLiteral("// zerediz:become"))) {
            if (session.rawText.contains(QStringLiteral("stand-in:cannot-become")))
                return QJsonObject{{QStringLiteral("same"), false}};
            log(QStringLiteral("become %1").arg(session.url));
            const QString page = QString::fromUtf8(QByteArray::fromBase64(
                options.value(QStringLiteral("bytes")).toString().toLatin1()));
            session.rawText = page;
            session.pageText = collapsed(page);
            return QJsonObject{{QStringLiteral("same"), true}};
        }
        return {};
    }

    QJsonObject rendering(Session &session, const QJsonObject &options) {
        const QString &raw = session.rawText;
        const auto asks = [&](const char *word) {
            return raw.contains(QStringLiteral("stand-in:") + QLatin1String(word));
        };
        const bool rawText =
            asks("text-differs") || (!session.scripts && asks("scripts-off-differs"));
        QJsonArray attributes;
        for (const char *name : {"title", "alt", "placeholder", "value"}) {
            if (!asks((std::string(name) + "-differs").c_str())) continue;
            const QString element = QLatin1String(name) == u"title" || QLatin1String(name) == u"alt"
                                        ? QStringLiteral("img 1")
                                        : QStringLiteral("input 1");
            attributes.append(QJsonArray{element, QLatin1String(name), raw});
        }
        QJsonObject result{{QStringLiteral("text"), rawText ? raw : session.pageText},
                           {QStringLiteral("attributes"), attributes},
                           {QStringLiteral("charset"), QStringLiteral("UTF-8")},
                           {QStringLiteral("type"), QStringLiteral("text/html")}};
        if (!options.value(QStringLiteral("look")).toBool()) return result;
        const int spaces = spacesIn(raw);
        QStringList entries{QStringLiteral("document\x01size\x01"
                                           "1024×768"),
                            QStringLiteral("p 1\x01rects\x01"
                                           "8,8 1008×18\x01@style\x01") +
                                (asks("colour-differs") ? QStringLiteral("color: #%1").arg(spaces)
                                                        : QStringLiteral("color: black"))};
        if (asks("line-moves"))
            entries.append(QStringLiteral("hr 1\x01rects\x01"
                                          "8,%1 1008×1")
                               .arg(30 + spaces));
        if (asks("box-shifts"))
            entries.append(QStringLiteral("span 1\x01rects\x01%1,40 20×18").arg(8 + 4 * spaces));
        if (asks("unseen-moves"))
            entries.append(QStringLiteral("div 2\x01rects\x01%1,80 20×18").arg(8 + 4 * spaces));
        if (asks("unsteady"))
            entries.append(QStringLiteral("div 1\x01rects\x01"
                                          "8,60 %1×18")
                               .arg(counter_));
        QJsonArray regions;
        if (asks("canvas-differs"))
            regions.append(QJsonArray{QStringLiteral("canvas 1"), 8, 80, 300, 150});
        QByteArray hashes;
        for (const QString &entry : entries)
            hashes += QCryptographicHash::hash(entry.toUtf8(), QCryptographicHash::Md5).left(8);
        session.looks[options.value(QStringLiteral("key")).toString()] = entries;
        session.look = entries;
        result.insert(QStringLiteral("look"), QString::fromLatin1(hashes.toBase64()));
        result.insert(QStringLiteral("regions"), regions);
        result.insert(QStringLiteral("whole"), asks("picture-differs"));
        result.insert(QStringLiteral("scripted"),
                      raw.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
        return result;
    }

    // A picture of the page, as it draws its text and its look, or of the part that clip names.
    QByteArray picture(const Session &session, const QJsonObject &clip) {
        const QString &raw = session.rawText;
        const bool whole = clip.value(QStringLiteral("y")).toDouble() == 0;
        const bool follows = raw.contains(whole ? QStringLiteral("stand-in:picture-differs")
                                                : QStringLiteral("stand-in:canvas-differs"));
        QString drawn = follows ? raw : session.pageText;
        if (whole)
            for (const QString &entry : session.look)
                if (!entry.startsWith(QStringLiteral("div 2"))) drawn += entry;
        return QCryptographicHash::hash(drawn.toUtf8(), QCryptographicHash::Sha256);
    }

    QStringList words_;
    int starts_;
    int counter_ = 0;
    std::map<QString, Session> sessions_;
};

// What a browser leaves in its profile and its temporary folder while it runs.
void leaveFiles(const QStringList &arguments) {
    for (const QString &argument : arguments)
        if (argument.startsWith(QStringLiteral("--user-data-dir=")))
            QFile(QDir(argument.section(u'=', 1)).filePath(QStringLiteral("Local State")))
                .open(QIODevice::WriteOnly);
    QFile(QDir::temp().filePath(QStringLiteral("stand-in.tmp"))).open(QIODevice::WriteOnly);
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    log(QStringLiteral("start %1 %2")
            .arg(QCoreApplication::applicationPid())
            .arg(arguments.mid(1).join(u' ')));
    if (runWords().contains(QStringLiteral("refuse"))) return 1;
    if (!openPipe(arguments)) return 2;
    leaveFiles(arguments);
    StandIn().run();
    return 0;
}
