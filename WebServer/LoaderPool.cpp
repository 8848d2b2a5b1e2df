#include "WebServer/LoaderPool.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <utility>

// An event loop must never wait for room: the connections bound the queue.
LoaderPool::LoaderPool(unsigned threads, const WorkerGroup::StartFault& fault)
    : group_(threads, SIZE_MAX, fault) {}

bool LoaderPool::Submit(Job job) {
    return group_.Submit([job = std::move(job)](unsigned) { job(); });
}

unsigned LoaderCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}
