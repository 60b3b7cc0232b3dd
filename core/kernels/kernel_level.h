#pragma once

#include <array>
#include <optional>
#include <string_view>

// The fast paths that use instructions of one processor family, and how the program picks them.
// Every such kernel has a portable version in plain C++, which runs anywhere and is what the others
// must agree with byte for byte; the others run only where the processor has their instructions.
// The level is chosen once, at the first use: the highest one the processor has, or a lower one
// named by the environment variable ZEREDIZ_KERNELS (portable, avx2), so that the tests
// can run every kernel at every level the machine has.
enum class KernelLevel { Portable, Avx2 };

inline constexpr std::array kKernelLevels{KernelLevel::Portable, KernelLevel::Avx2};

std::string_view kernelLevelName(KernelLevel level);
std::optional<KernelLevel> kernelLevelNamed(std::string_view name);

// Whether this processor, and the system under it, runs the kernels of a level.
bool processorHas(KernelLevel level);

// The level every kernel runs at in this process: the one named in ZEREDIZ_KERNELS, or the
// highest; where the processor lacks it, the highest one below it that it has. A name that is no
// level counts as portable, the level that is right everywhere.
KernelLevel kernelLevel();

// The level ZEREDIZ_KERNELS names, where it names one.
std::optional<KernelLevel> namedKernelLevel();

// One kernel's versions, one for each level, its portable one always among them: where a level
// has none of its own, or the build holds none (another processor family), the next lower one
// runs.
template <typename Function>
class Kernel {
public:
    constexpr explicit Kernel(Function portable, Function avx2 = nullptr)
        : versions_{portable, avx2} {}

    Function at(KernelLevel level) const {
        for (auto index = static_cast<std::size_t>(level); index > 0; --index) {
            if (versions_[index]) return versions_[index];
        }
        return versions_[0];
    }

    // The version of the level in use.
    Function chosen() const { return at(kernelLevel()); }

private:
    std::array<Function, kKernelLevels.size()> versions_;
};

// The versions that exist only where the build is for x86-64: ZEREDIZ_X86_64(&f) names f there and
// nothing elsewhere, so that one table serves every processor family.
#ifdef ZEREDIZ_X86_64_KERNELS
#define ZEREDIZ_X86_64(version) version
#else
#define ZEREDIZ_X86_64(version) nullptr
#endif
