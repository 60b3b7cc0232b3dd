#include "core/kernels/kernel_level.h"

#include <QByteArray>
#include <QtGlobal>

namespace {

constexpr std::array<std::string_view, kKernelLevels.size()> kNames{"portable", "avx2"};

}  // namespace

std::string_view kernelLevelName(KernelLevel level) {
    return kNames[static_cast<std::size_t>(level)];
}

std::optional<KernelLevel> kernelLevelNamed(std::string_view name) {
    for (const KernelLevel level : kKernelLevels) {
        if (kernelLevelName(level) == name) return level;
    }
    return std::nullopt;
}

bool processorHas(KernelLevel level) {
    switch (level) {
        case KernelLevel::Portable:
            return true;
#ifdef ZEREDIZ_X86_64_KERNELS
        // The compiler's checks ask the system too, whether it saves the wider registers.
        case KernelLevel::Avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
#endif
        default:
            return false;
    }
}

std::optional<KernelLevel> namedKernelLevel() {
    static const std::optional<KernelLevel> named = []() -> std::optional<KernelLevel> {
        if (!qEnvironmentVariableIsSet("ZEREDIZ_KERNELS")) return std::nullopt;
        const QByteArray name = qgetenv("ZEREDIZ_KERNELS");
        return kernelLevelNamed(std::string_view(name.constData(), std::size_t(name.size())))
            .value_or(KernelLevel::Portable);
    }();
    return named;
}

KernelLevel kernelLevel() {
    static const KernelLevel level = [] {
        auto index = static_cast<std::size_t>(namedKernelLevel().value_or(kKernelLevels.back()));
        while (index > 0 && !processorHas(kKernelLevels[index])) --index;
        return kKernelLevels[index];
    }();
    return level;
}
