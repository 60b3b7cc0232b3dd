#pragma once

#include <sys/fsuid.h>
#include <unistd.h>
#include <QFile>

// File access checks as an ordinary user, and his new files, for as long as it lives, even when
// the tests run as root, where permission bits alone stop nothing. Only the file-system identity of
// this thread changes: the kernel drops root's file capabilities with it and restores them
// afterwards.
class Unprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    Unprivileged() : wasRoot_(geteuid() == 0) {
        if (!wasRoot_) return;
        setfsgid(kNobody);  // the group of nobody's new files, as nobody's own would be
        setfsuid(kNobody);
    }
    ~Unprivileged() {
        if (!wasRoot_) return;
        setfsuid(0);
        setfsgid(0);
    }
    // Makes the file at path the ordinary user's, as the files of whoever saves are, where the
    // tests run as root; answers path.
    static QString giveToUser(const QString &path) {
        if (geteuid() == 0) (void)::chown(QFile::encodeName(path).constData(), kNobody, kNobody);
        return path;
    }

    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    bool wasRoot_;
};
