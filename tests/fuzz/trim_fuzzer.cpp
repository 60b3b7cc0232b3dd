#include <cstddef>
#include <cstdint>

#include "byte_references.h"
#include "core/trim/line_trim.h"
#include "fuzz_rule.h"

// The trim's kernels give what the plain trim gives, for any bytes, at the kernel level in use
// (ZEREDIZ_KERNELS names a lower one), and so does the trim in the page's own buffer; the input
// ends where its memory ends, so a read past it stops the run. A trimmed page trims to
// itself, as a saved page that is opened again must.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const QByteArray trimmed = trimLines(input);
    require(trimmed == referenceTrim(input.toByteArray()), input, "trimLines",
            "differs from the plain trim");
    require(trimLines(trimmed) == trimmed, input, "trimLines", "a trimmed page trims to another");
    // The same trim in the page's own buffer, in two parts as the loader takes a big page.
    const QByteArray inPlace =
        trimLinesInPlace(input.toByteArray(), lineStartNear(input, input.size() / 2));
    require(inPlace == trimmed, input, "trimLinesInPlace", "differs from trimLines");
    return 0;
}
