#include "core/iconv_converter.h"

#include <cerrno>

IconvConverter::IconvConverter(const char *toEncoding, const char *fromEncoding)
    : cd_(iconv_open(toEncoding, fromEncoding)) {}

IconvConverter::~IconvConverter() {
    if (isValid()) iconv_close(cd_);
}

bool IconvConverter::convert(QByteArrayView input, std::span<char> buffer, const Sink &sink) {
    // Room for the longest character any encoding produces, so that E2BIG always makes progress.
    if (!isValid() || buffer.size() < 16) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);

    char *in = const_cast<char *>(input.data());
    size_t inLeft = input.size();
    char *out = buffer.data();
    size_t outLeft = buffer.size();
    const auto flush = [&] {
        const bool go = sink(QByteArrayView(buffer.data(), out - buffer.data()));
        out = buffer.data();
        outLeft = buffer.size();
        return go;
    };

    while (inLeft > 0) {
        if (iconv(cd_, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) break;
        switch (errno) {
            case E2BIG:
                if (!flush()) return false;
                break;
            case EILSEQ:
            case EINVAL:
                if (outLeft == 0 && !flush()) return false;
                *out++ = *in++;
                --outLeft;
                --inLeft;
                break;
            default:
                return false;
        }
    }
    return flush();
}
