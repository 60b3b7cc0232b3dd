#pragma once

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <QDir>
#include <QFile>

// A small file system in memory, mounted on a folder for as long as it lives, so that a test can
// fill a real file system (tmpfs), or have one that cannot reserve space for a file (ramfs). Only
// root may mount, so isMounted() says whether the test can go on.
class TinyFileSystem {
public:
    enum Type { Tmpfs, Ramfs };

    TinyFileSystem(const QString &folder, Type type) : folder_(QFile::encodeName(folder)) {
        QDir().mkpath(folder);
        mounted_ =
            type == Tmpfs
                ? ::mount("tmpfs", folder_.constData(), "tmpfs", 0, "size=512k,mode=0777") == 0
                : ::mount("ramfs", folder_.constData(), "ramfs", 0, "mode=0777") == 0;
    }
    ~TinyFileSystem() {
        if (mounted_) ::umount2(folder_.constData(), MNT_DETACH);
    }
    TinyFileSystem(const TinyFileSystem &) = delete;
    TinyFileSystem &operator=(const TinyFileSystem &) = delete;

    bool isMounted() const { return mounted_; }

    // Fills a tmpfs with a file of its own until only about `left` bytes are free.
    void fillUpTo(qint64 left) const {
        struct statvfs status {};
        ::statvfs(folder_.constData(), &status);
        const qint64 size = qMax<qint64>(qint64(status.f_bavail) * status.f_bsize - left, 0);
        QFile filler(QFile::decodeName(folder_) + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly) || filler.write(QByteArray(size, 'f')) != size ||
            !filler.flush())
            qFatal("cannot fill the tiny file system");
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
};

// A file mounted on another one, as containers get files of the host, for as long as it lives.
// Only root may mount.
class BindMount {
public:
    BindMount(const QString &source, const QString &target) : target_(QFile::encodeName(target)) {
        mounted_ = ::mount(QFile::encodeName(source).constData(), target_.constData(), nullptr,
                           MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (mounted_) ::umount2(target_.constData(), MNT_DETACH);
    }
    BindMount(const BindMount &) = delete;
    BindMount &operator=(const BindMount &) = delete;

    bool isMounted() const { return mounted_; }

private:
    QByteArray target_;
    bool mounted_ = false;
};
