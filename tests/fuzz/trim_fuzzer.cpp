#include <cstddef>
#include <cstdint>
#include <string_view>

#include "byte_references.h"
#include "core/trim/line_trim.h"
#include "fuzz_rule.h"

namespace {

// The encodings whose characters a script's reader steps over, one of them chosen by the
// input's length, so that every kind of page meets each.
constexpr std::string_view kEncodings[] = {"UTF-8", "GB18030", "BIG5", "CP932", "CP949"};

// What splits an input into a page and a style sheet it links.
constexpr QByteArrayView kSheetMark("\n@@sheet@@\n");

}  // namespace

// Whatever the tag reader makes of a page (its elements, style sheets, scripts, SVG and
// attribute values, in any encoding), the trim keeps every byte of each stretch it finds as it
// is and trims every line outside them, at the kernel level in use (ZEREDIZ_KERNELS names a lower
// one), in a buffer of its own and in the page's; each stretch keeps to the rule of ByteRange.
// The page ends where its memory ends, so a read past it stops the run. A trimmed page trims to
// itself, as a saved page that is opened again must; at the deep level too.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const qsizetype mark = input.indexOf(kSheetMark);
    const QByteArrayView page = mark < 0 ? input : input.first(mark);
    PageContext context;
    const std::string_view name = kEncodings[size % std::size(kEncodings)];
    context.encoding = FileEncoding(name);
    if (mark >= 0)
        context.linkedSheets.push_back(
            {input.sliced(mark + kSheetMark.size()).toByteArray(), context.encoding});

    const QByteArray bytes = page.toByteArray();
    const std::vector<ByteRange> ranges = preservedContent(page, context);
    require(rangeFault(bytes, ranges).isEmpty(), input, "preservedContent",
            "a stretch breaks the rule of ByteRange");
    const QByteArray trimmed = trimLines(page, context);
    require(trimmed == referenceTrimKeeping(bytes, bytesIn(bytes.size(), ranges)), input,
            "trimLines", "differs from the plain trim that keeps the stretches found");
    require(trimLines(trimmed, context) == trimmed, input, "trimLines",
            "a trimmed page trims to another");
    // The same trim in the page's own buffer, in two parts as the loader takes a big page.
    const QByteArray inPlace =
        trimLinesInPlace(bytes, lineStartNear(page, page.size() / 2), context);
    require(inPlace == trimmed, input, "trimLinesInPlace", "differs from trimLines");

    // The deep level keeps the same stretches, and the line ends of those that keep line ends.
    const std::vector<ByteRange> lineEnds = preservedContent(page, context, Keeping::LineEnds);
    require(rangeFault(bytes, lineEnds).isEmpty(), input, "preservedContent",
            "a stretch of kept line ends breaks the rule of ByteRange");
    const std::vector<bool> lineEndBytes = bytesIn(bytes.size(), lineEnds);
    const QByteArray deep = trimLines(page, context, TrimLevel::Deep);
    require(deep == referenceTrimKeeping(bytes, bytesIn(bytes.size(), ranges), &lineEndBytes),
            input, "trimLines",
            "the deep trim differs from the plain one with the stretches found");
    require(trimLines(deep, context, TrimLevel::Deep) == deep, input, "trimLines",
            "a deeply trimmed page trims to another");
    return 0;
}
