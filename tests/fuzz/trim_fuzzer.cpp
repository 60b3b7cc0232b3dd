#include <cstddef>
#include <cstdint>
#include <tuple>

#include "byte_references.h"
#include "core/trim/line_trim.h"
#include "fuzz_rule.h"

// The block-wise trim gives what the plain one gives, for any bytes, on the widest blocks the
// processor takes and on each narrower width, and so does the trim in the page's own buffer; the
// input ends where its memory ends, so a read past it stops the run. A trimmed page trims to
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
    // And in two parts in a buffer of its own, as a big page is trimmed on two cores.
    const QByteArray inParts = trimLines(input, lineStartNear(input, input.size() / 3));
    require(inParts == trimmed, input, "trimLines in two parts", "differs from trimLines");
    // The narrower blocks, which processors without the widest ones take, give the same.
    for (const auto &[blocks, copied, inPlace] :
         {std::tuple{ByteBlocks::Wide, "trimLines on wide blocks",
                     "trimLinesInPlace on wide blocks"},
          {ByteBlocks::Narrow, "trimLines on narrow blocks",
           "trimLinesInPlace on narrow blocks"}}) {
        trimWith(blocks);
        const QByteArray narrower = trimLines(input);
        const QByteArray narrowerInPlace =
            trimLinesInPlace(input.toByteArray(), lineStartNear(input, input.size() / 2));
        trimWith(ByteBlocks::Widest);
        require(narrower == trimmed, input, copied, "differs from trimLines");
        require(narrowerInPlace == trimmed, input, inPlace, "differs from trimLines");
    }
    return 0;
}
