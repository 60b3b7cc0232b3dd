#pragma once

#include <QByteArray>
#include <algorithm>
#include <array>
#include <string_view>

// The encoding a document is stored in on disk, by the name the system's converter (iconv) knows
// it by. In memory every document is UTF-8. A plain value, so that a document can carry it and
// the choice can be made before any thread or converter exists.
class FileEncoding {
public:
    static const FileEncoding Utf8;
    static const FileEncoding Gb18030;

    // The longest name kept; no encoding the converter knows has a longer one.
    static constexpr std::size_t kMaxNameLength = 40;

    constexpr FileEncoding() : FileEncoding("UTF-8") {}
    // A name longer than kMaxNameLength is cut off, which no converter then knows.
    constexpr explicit FileEncoding(std::string_view iconvName) {
        const std::size_t length = std::min(iconvName.size(), kMaxNameLength);
        std::copy_n(iconvName.data(), length, name_.data());
    }

    const char *name() const { return name_.data(); }

    friend constexpr bool operator==(const FileEncoding &, const FileEncoding &) = default;

private:
    std::array<char, kMaxNameLength + 1> name_{};
};

inline constexpr FileEncoding FileEncoding::Utf8{"UTF-8"};
inline constexpr FileEncoding FileEncoding::Gb18030{"GB18030"};

// The document of the text area: UTF-8 bytes, where bytes that were not valid in the file's
// encoding are kept as they were read, and the encoding the file is written back in.
struct TextBuffer {
    QByteArray bytes;
    FileEncoding encoding = FileEncoding::Utf8;
};
