#include "Platform/Thread.h"

#include <pthread.h>

#include <new>

namespace platform {
namespace {

struct StartRecord {
    ThreadProcedure procedure;
    void* argument;
};

void* Trampoline(void* raw) {
    StartRecord record = *static_cast<StartRecord*>(raw);
    delete static_cast<StartRecord*>(raw);
    record.procedure(record.argument);
    return nullptr;
}

}  // namespace

bool StartThread(ThreadProcedure procedure, void* argument, size_t stackBytes) {
    auto* record = new (std::nothrow) StartRecord{procedure, argument};
    if (record == nullptr) return false;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackBytes != 0) pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    int failed = pthread_create(&thread, &attributes, Trampoline, record);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        delete record;
        return false;
    }
    return true;
}

}  // namespace platform
