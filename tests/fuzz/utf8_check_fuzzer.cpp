#include <cstddef>
#include <cstdint>

#include "byte_references.h"
#include "core/encoding/utf8_check.h"
#include "fuzz_rule.h"

// The block-wise UTF-8 check answers as the plain validator does, for any bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    require(isValidUtf8(bytes) == referenceIsValidUtf8(bytes), bytes, "isValidUtf8",
            "differs from the plain validator");
    return 0;
}
