#include "core/browser/devtools_connection.h"

#include <QJsonDocument>

#include "core/browser/browser_process.h"

namespace {

// How often a waiting thread asks whether it was interrupted.
constexpr auto kInterruptionPoll = std::chrono::milliseconds(100);

}  // namespace

DevToolsConnection::DevToolsConnection(BrowserProcess &process, std::function<bool()> interrupted)
    : process_(process), interrupted_(std::move(interrupted)), reader_([this] { read(); }) {}

DevToolsConnection::~DevToolsConnection() {
    reader_.join();
}

void DevToolsConnection::read() {
    QByteArray pending;
    for (;;) {
        const QByteArray bytes = process_.read();
        if (bytes.isEmpty()) break;
        qsizetype searched = pending.size();
        pending += bytes;
        qsizetype start = 0;
        for (qsizetype end; (end = pending.indexOf('\0', searched)) >= 0; searched = start) {
            // The message is handed on whole, nothing of it kept here: the thread that takes it is
            // then the only one to hold its data, and the last to let go of it.
            QJsonObject message =
                QJsonDocument::fromJson(
                    QByteArrayView(pending).sliced(start, end - start).toByteArray())
                    .object();
            start = end + 1;
            // What is no object is nothing this side asked for.
            if (!message.isEmpty()) deliver(std::move(message));
        }
        pending.remove(0, start);
    }
    const std::lock_guard lock(mutex_);
    gone_ = true;
    for (auto &[id, inbox] : waiting_) inbox->arrived_.notify_all();
    for (auto &[session, inbox] : sessions_) inbox->arrived_.notify_all();
}

void DevToolsConnection::deliver(QJsonObject message) {
    const std::lock_guard lock(mutex_);
    Inbox *inbox = nullptr;
    if (const QJsonValue id = message.value(QLatin1String("id")); id.isDouble()) {
        const auto found = waiting_.find(id.toInt());
        if (found == waiting_.end()) return;
        inbox = found->second;
        waiting_.erase(found);
    } else {
        // An event of a session, or about one: a tab detached, its session gone.
        QString session = message.value(QLatin1String("sessionId")).toString();
        if (session.isEmpty())
            session = message.value(QLatin1String("params"))
                          .toObject()
                          .value(QLatin1String("sessionId"))
                          .toString();
        const auto found = sessions_.find(session);
        if (session.isEmpty() || found == sessions_.end()) return;
        inbox = found->second;
    }
    inbox->messages_.push_back(std::move(message));
    inbox->arrived_.notify_all();
}

void DevToolsConnection::forget(Inbox &inbox) {
    const std::lock_guard lock(mutex_);
    std::erase_if(waiting_, [&](const auto &entry) { return entry.second == &inbox; });
    std::erase_if(sessions_, [&](const auto &entry) { return entry.second == &inbox; });
}

int DevToolsConnection::send(Inbox &inbox, const QString &method, const QJsonObject &params,
                             const QString &session) {
    QJsonObject command{{QLatin1String("method"), method}, {QLatin1String("params"), params}};
    if (!session.isEmpty()) command.insert(QLatin1String("sessionId"), session);
    int id = 0;
    {
        const std::lock_guard lock(mutex_);
        id = ++lastId_;
        waiting_[id] = &inbox;
    }
    command.insert(QLatin1String("id"), id);
    const QByteArray bytes = QJsonDocument(command).toJson(QJsonDocument::Compact) + '\0';
    // One message after another, never two interleaved. A browser gone reads nothing: its end
    // of the pipe tells the reading thread so.
    const std::lock_guard lock(writing_);
    process_.write(bytes);
    return id;
}

void DevToolsConnection::route(const QString &session, Inbox &inbox) {
    const std::lock_guard lock(mutex_);
    sessions_[session] = &inbox;
}

DevToolsConnection::Message DevToolsConnection::take(
    Inbox &inbox, Deadline deadline, const std::function<bool(const QJsonObject &)> &found) {
    std::unique_lock lock(mutex_);
    for (;;) {
        for (auto it = inbox.messages_.begin(); it != inbox.messages_.end(); ++it) {
            if (!found(*it)) continue;
            QJsonObject message = std::move(*it);
            inbox.messages_.erase(it);
            return message;
        }
        if (gone_) return Silence::Gone;
        if (interrupted_ && interrupted_()) return Silence::Interrupted;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return Silence::TimeUp;
        inbox.arrived_.wait_until(lock, std::min(deadline, now + kInterruptionPoll));
    }
}

DevToolsConnection::Message DevToolsConnection::next(Inbox &inbox, Deadline deadline) {
    return take(inbox, deadline, [](const QJsonObject &) { return true; });
}

DevToolsConnection::Message DevToolsConnection::call(Inbox &inbox, const QString &method,
                                                     const QJsonObject &params,
                                                     const QString &session, Deadline deadline) {
    const int id = send(inbox, method, params, session);
    return take(inbox, deadline, [id](const QJsonObject &message) {
        return message.value(QLatin1String("id")).toInt(-1) == id;
    });
}

bool DevToolsConnection::gone() const {
    const std::lock_guard lock(mutex_);
    return gone_;
}
