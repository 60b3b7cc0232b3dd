#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// File access checks as an ordinary user for as long as it lives, even when the tests run as
// root, where permission bits alone stop nothing. Only the file-system identity of this thread
// changes: the kernel drops root's file capabilities with it and restores them afterwards.
class Unprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    Unprivileged() : wasRoot_(geteuid() == 0) {
        if (wasRoot_) setfsuid(kNobody);
    }
    ~Unprivileged() {
        if (wasRoot_) setfsuid(0);
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    bool wasRoot_;
};
