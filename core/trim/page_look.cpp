#include "core/trim/page_look.h"

#include "core/kernels/kernel_level.h"
#include "core/trim/page_look_loops.h"
#include "core/two_halves/two_halves.h"

namespace {

// A byte at a time, in plain C++.
bool portableLook(const LookSpan &span) {
    return lookAtBytes(span.begin, span.from, span.to, span.end);
}

// Blocks of 32 bytes tell where a pattern may start with a few instructions each, so the look
// takes a third of the time a byte at a time takes; blocks of 64 with AVX-512 bought nothing more.
constexpr Kernel<LookFunction> kLook{&portableLook, ZEREDIZ_X86_64(&lookWithAvx2)};

}  // namespace

bool mayHoldPreservedContent(QByteArrayView page) {
    const LookFunction look = kLook.chosen();
    const char *const begin = page.data();
    const char *const end = begin + page.size();
    const char *const middle = begin + page.size() / 2;
    bool first = false;
    bool second = false;
    inTwoHalves(
        page.size(),
        [&] {
            first = look({begin, begin, middle, end});
        },
        [&] {
            second = look({begin, middle, end, end});
        });
    return first || second;
}
