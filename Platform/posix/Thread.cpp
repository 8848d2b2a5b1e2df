#include "Platform/Thread.h"

#include <pthread.h>

#include <memory>
#include <new>
#include <utility>

namespace platform {
namespace {

void* Trampoline(void* raw) {
    const std::unique_ptr<ThreadProcedure> procedure(static_cast<ThreadProcedure*>(raw));
    (*procedure)();
    return nullptr;
}

}  // namespace

bool StartThread(ThreadProcedure procedure, size_t stackBytes) {
    // The new thread owns the procedure and frees it when it ends.
    auto* owned = new (std::nothrow) ThreadProcedure(std::move(procedure));
    if (owned == nullptr) return false;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackBytes != 0) pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    int failed = pthread_create(&thread, &attributes, Trampoline, owned);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        delete owned;
        return false;
    }
    return true;
}

}  // namespace platform
