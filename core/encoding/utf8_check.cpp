#include "core/encoding/utf8_check.h"

#include <simdjson.h>

bool isValidUtf8(QByteArrayView bytes) {
    return simdjson::validate_utf8(bytes.data(), std::size_t(bytes.size()));
}
