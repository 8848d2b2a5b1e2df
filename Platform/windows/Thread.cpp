#include "Platform/Thread.h"

#include <memory>
#include <new>
#include <utility>

#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform {
namespace {

DWORD WINAPI Trampoline(void* raw) {
    const std::unique_ptr<ThreadProcedure> procedure(static_cast<ThreadProcedure*>(raw));
    (*procedure)();
    return 0;
}

}  // namespace

bool StartThread(ThreadProcedure procedure, size_t stackBytes) {
    // The new thread owns the procedure and frees it when it ends.
    auto* owned = new (std::nothrow) ThreadProcedure(std::move(procedure));
    if (owned == nullptr) return false;
    // The size reserves address space; pages are committed as the stack grows.
    HANDLE thread = CreateThread(nullptr, stackBytes, Trampoline, owned,
                                 stackBytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
    if (thread == nullptr) {
        windows::RecordLastError();
        delete owned;
        return false;
    }
    // Detached: nothing waits for it.
    CloseHandle(thread);
    return true;
}

}  // namespace platform
