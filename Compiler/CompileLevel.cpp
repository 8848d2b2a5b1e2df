#include "Compiler/CompileLevel.h"

std::optional<CompileLevel> CompileLevelNamed(std::string_view name) {
    if (name == "fast") return CompileLevel::Fast;
    if (name == "best") return CompileLevel::Best;
    return std::nullopt;
}
