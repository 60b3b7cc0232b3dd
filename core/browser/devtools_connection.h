#pragma once

#include <QJsonObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <variant>

class BrowserProcess;

using Deadline = std::chrono::steady_clock::time_point;

// The DevTools protocol over a browser's pipe. A command is a JSON object with an id, a method,
// its params and, for a tab, the session attached to it; its answer carries the same id and a
// result or an error; an event carries a method, its params and the session it is of. Each message
// ends with a NUL byte.
//
// Several threads speak through one connection at once, each through an inbox of its own, which
// receives the answers to the commands it sent and the events of the sessions routed to it. A
// thread of the connection's own reads the pipe and hands each message to its inbox, until the
// browser closes the pipe: it is gone then, and every wait ends.
class DevToolsConnection {
public:
    class Inbox {
    public:
        explicit Inbox(DevToolsConnection &connection) : connection_(connection) {}
        // Nothing more is handed to it: answers still due go nowhere.
        ~Inbox() { connection_.forget(*this); }
        Inbox(const Inbox &) = delete;
        Inbox &operator=(const Inbox &) = delete;

    private:
        friend class DevToolsConnection;
        DevToolsConnection &connection_;
        std::deque<QJsonObject> messages_;  // guarded by the connection's mutex
        std::condition_variable arrived_;
    };

    // Why a wait for a message ended without one.
    enum class Silence {
        TimeUp,
        Gone,         // the browser closed its pipe: it ended
        Interrupted,  // interrupted said so
    };
    using Message = std::variant<QJsonObject, Silence>;

    // Reads process's pipe until it closes. interrupted is asked a few times a second while a
    // thread waits; once it answers true, every wait ends.
    DevToolsConnection(BrowserProcess &process, std::function<bool()> interrupted);
    // Waits for the reading thread: the process must have ended, or its pipe been closed.
    ~DevToolsConnection();
    DevToolsConnection(const DevToolsConnection &) = delete;
    DevToolsConnection &operator=(const DevToolsConnection &) = delete;

    // Sends a command whose answer goes to inbox, for session (empty: the browser itself); its id.
    int send(Inbox &inbox, const QString &method, const QJsonObject &params = {},
             const QString &session = {});
    // From now on the events of session go to inbox.
    void route(const QString &session, Inbox &inbox);
    // The oldest message of inbox, or why none came before deadline.
    Message next(Inbox &inbox, Deadline deadline);
    // Sends a command and waits for its answer. The messages that come to inbox meanwhile stay
    // there, in their order.
    Message call(Inbox &inbox, const QString &method, const QJsonObject &params = {},
                 const QString &session = {}, Deadline deadline = Deadline::max());
    bool gone() const;

private:
    void read();
    void deliver(QJsonObject message);
    void forget(Inbox &inbox);
    // Waits on inbox until found finds a message in it, and takes that one.
    Message take(Inbox &inbox, Deadline deadline,
                 const std::function<bool(const QJsonObject &)> &found);

    BrowserProcess &process_;
    std::function<bool()> interrupted_;
    mutable std::mutex mutex_;
    std::mutex writing_;
    int lastId_ = 0;                       // guarded by mutex_
    std::map<int, Inbox *> waiting_;       // guarded by mutex_: whose answer each id is
    std::map<QString, Inbox *> sessions_;  // guarded by mutex_
    bool gone_ = false;                    // guarded by mutex_
    std::jthread reader_;
};
