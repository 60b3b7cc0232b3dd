// A stand-in for a browser of the Chromium kind, for the tests of --verify on every system, Wine
// included, which has no browser: it speaks the DevTools protocol over the pipe as Chromium does,
// as much of it as zerediz-compress uses, and "shows" a page from the bytes it is handed for it.
// Its text is the page's with the tags taken out and each run of white space made one space, as a
// browser collapses spaces, so that a page and its compressed form look the same to it; its
// picture follows its text.
//
// What it does differently is asked for by words in a page:
//   stand-in:text-differs        its text is the page's bytes as they are
//   stand-in:scripts-off-differs the same, with scripts off only
//   stand-in:attribute-differs   an image's alt holds the page's bytes as they are
//   stand-in:picture-differs     its picture follows the page's bytes as they are
//   stand-in:unsteady            its picture is new each time it is shown
//   stand-in:hang                the page never finishes loading
//   stand-in:crash               its tab crashes
//   stand-in:dies-in-start-N     the whole stand-in ends at once, in its first N starts
// and by ZEREDIZ_STAND_IN, a list of words for the whole run:
//   refuse   it ends at once with status 1, as a program that is no such browser
//   silent   it reads the pipe and never answers
//   pieces   it writes its messages a few bytes at a time
//   slow     it takes a while to show each page
// ZEREDIZ_STAND_IN_LOG names a file it adds a line to for each start and each page shown. At its
// start it writes a file into its profile and one into its temporary folder, as browsers do.
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
    QString pageText;
    QString rawText;
    int navigation = 0;  // the id of the navigation waiting for its page's bytes
    QString loader;
};

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
            answer(command, {{QStringLiteral("result"),
                              QJsonObject{{QStringLiteral("type"), QStringLiteral("object")},
                                          {QStringLiteral("value"), rendering(*session)}}}});
        } else if (method == u"Page.getLayoutMetrics") {
            answer(
                command,
                {{QStringLiteral("cssContentSize"),
                  QJsonObject{{QStringLiteral("width"), 1024}, {QStringLiteral("height"), 768}}}});
        } else if (method == u"Page.captureScreenshot" && session) {
            answer(command,
                   {{QStringLiteral("data"), QString::fromLatin1(picture(*session).toBase64())}});
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

    QJsonObject rendering(const Session &session) const {
        const bool raw = session.rawText.contains(QStringLiteral("stand-in:text-differs")) ||
                         (!session.scripts &&
                          session.rawText.contains(QStringLiteral("stand-in:scripts-off-differs")));
        QJsonArray attributes;
        if (session.rawText.contains(QStringLiteral("stand-in:attribute-differs")))
            attributes.append(
                QJsonArray{QStringLiteral("img 1"), QStringLiteral("alt"), session.rawText});
        return {{QStringLiteral("text"), raw ? session.rawText : session.pageText},
                {QStringLiteral("attributes"), attributes}};
    }

    QByteArray picture(const Session &session) {
        QString drawn = session.rawText.contains(QStringLiteral("stand-in:picture-differs"))
                            ? session.rawText
                            : session.pageText;
        if (session.rawText.contains(QStringLiteral("stand-in:unsteady")))
            drawn += QString::number(counter_);
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
