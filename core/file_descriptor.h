#pragma once

#include <sys/stat.h>
#include <unistd.h>
#include <QByteArrayView>
#include <cerrno>
#include <utility>

// An open file descriptor that is closed when it goes out of scope, unless close() was called
// and its answer checked, as a writer must: some file systems report a failed write only there.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor &operator=(FileDescriptor &&other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }

    int get() const { return fd_; }

    // Closes the descriptor; 0, or the errno of the close.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Writes all of bytes to fd at offset; 0, or the errno of the call that failed.
inline int writeAllAt(int fd, QByteArrayView bytes, off_t offset) {
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, static_cast<size_t>(left), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= n;
        offset += n;
    }
    return 0;
}

// Which file a descriptor or path stands for, whatever name it is reached by.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity of(const struct stat &status) { return {status.st_dev, status.st_ino}; }
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};
