#include "Compiler/ParallelPacker.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {

// What all slots together keep of their buffers for their next files; a slot's
// buffers beyond its share are counted against the budget and released once
// their file is appended.
constexpr uint64_t kKeptBytes = uint64_t{32} << 20;

// Slots beyond one per worker let small files flow past a large one that is
// still being compressed. With only four, the slots behind a 3.6 MB file
// filled while it was compressed and the other worker stood idle for a fifth
// of a compile of a documentation tree; small files cost a slot little, as
// what slots keep between files is bounded by kKeptBytes in all.
constexpr unsigned kExtraSlots = 60;

// Slots handed to the workers at once, and slots the walk waits for at once
// when every slot is taken: a wake-up per this many files instead of one each.
constexpr uint64_t kBatch = 16;

// The longest the walk waits for a batch without looking at what is done:
// the status follows the oldest file in flight at least this often.
constexpr auto kStatusRefresh = std::chrono::milliseconds(100);

// Most files a worker takes at once: few, so that the files behind a large
// one still go to the other workers.
constexpr uint64_t kTaken = 4;

}  // namespace

ParallelPacker::ParallelPacker(CompileRun& run, unsigned workers)
    : run_(run),
      level_(run.Level),
      workersAsked_(workers),
      slots_(workers + kExtraSlots),
      keptSlotBytes_(kKeptBytes / slots_.size()) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        try {
            threads_.emplace_back([this] { WorkerLoop(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

ParallelPacker::~ParallelPacker() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    workQueued_.notify_all();
    memoryFreed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void ParallelPacker::Pack(std::string path, std::string fileName) {
    // The table only fills up: a file met when it is full is left out whatever
    // the files in flight turn out to be.
    if (LeaveOutOverCapacity(run_)) return;
    if (filled_ - appended_ == slots_.size()) AppendOldestBatch();
    // No worker looks at a slot before it is handed over.
    Slot& slot = SlotOf(filled_);
    slot.path = std::move(path);
    slot.fileName = std::move(fileName);
    slot.error = nullptr;
    slot.done.store(false, std::memory_order_relaxed);
    ++filled_;
    // A worker without work gets each file at once; busy ones get batches.
    if (filled_ - dispatched_ == kBatch || idleWorkers_.load(std::memory_order_relaxed) != 0) {
        Dispatch();
    }
    if (filled_ - appended_ == 1) ShowOldest();
    AppendDone();
}

void ParallelPacker::Finish() {
    while (!run_.Output.Failed() && appended_ != filled_) AppendOldestBatch();
}

void ParallelPacker::Dispatch() {
    if (dispatched_ == filled_) return;
    bool wake = false;
    {
        std::lock_guard guard(lock_);
        dispatched_ = filled_;
        wake = idleWorkers_ != 0;
    }
    if (wake) workQueued_.notify_all();
}

void ParallelPacker::WorkerLoop() {
    for (;;) {
        uint64_t first = 0;
        uint64_t taken = 0;
        {
            std::unique_lock guard(lock_);
            ++idleWorkers_;
            // The compile thread may be waiting for a batch while this worker
            // has nothing to do: let it append what is done and hand out more.
            if (awaited_ != 0 && AwaitedDone()) slotDone_.notify_one();
            workQueued_.wait(guard, [this] { return stopping_ || started_ < dispatched_; });
            --idleWorkers_;
            if (stopping_) return;
            // A fair share of what is waiting, so that no worker is left without.
            first = started_;
            taken = std::min(kTaken, (dispatched_ - started_ + workersAsked_ - 1) / workersAsked_);
            started_ += taken;
        }
        for (uint64_t sequence = first; sequence != first + taken; ++sequence) {
            Prepare(sequence, SlotOf(sequence));
        }
    }
}

void ParallelPacker::Prepare(uint64_t sequence, Slot& slot) {
    try {
        slot.prepared = PrepareFile(slot.path, slot.fileName, level_, slot.buffers,
                                    [&](uint64_t bytes) { Admit(sequence, slot, bytes); });
    } catch (...) {
        slot.error = std::current_exception();
    }
    // Sequentially consistent, as is the compile thread's announcement that it
    // waits: either it sees this slot done, or this sees it waiting.
    slot.done.store(true);
    if (!appenderWaiting_.load()) return;
    bool wake = false;
    {
        std::lock_guard guard(lock_);
        wake = awaited_ != 0 && AwaitedDone();
    }
    if (wake) slotDone_.notify_one();
}

bool ParallelPacker::AwaitedDone() {
    if (!SlotOf(appended_).done.load()) return false;
    if (heldBack_ != 0 || idleWorkers_ != 0) return true;
    for (uint64_t sequence = appended_ + 1; sequence != appended_ + awaited_; ++sequence) {
        if (!SlotOf(sequence).done.load()) return false;
    }
    return true;
}

void ParallelPacker::Admit(uint64_t sequence, Slot& slot, uint64_t bytes) {
    if (bytes <= keptSlotBytes_) return;
    std::unique_lock guard(lock_);
    largestNeed_ = std::max(largestNeed_, bytes);
    const uint64_t othersAllowance = (threads_.size() - 1) * largestNeed_;
    const auto admitted = [&] {
        if (stopping_ || sequence == appended_) return true;
        const uint64_t othersHeld = largeHeld_ - SlotOf(appended_).charged;
        return othersHeld + bytes <= othersAllowance;
    };
    if (!admitted()) {
        // The compile thread may be waiting for this very file: let it append
        // what is done, which is what frees memory.
        ++heldBack_;
        if (awaited_ != 0 && AwaitedDone()) slotDone_.notify_one();
        memoryFreed_.wait(guard, admitted);
        --heldBack_;
    }
    largeHeld_ += bytes;
    slot.charged = bytes;
}

void ParallelPacker::AppendOldestBatch() {
    Dispatch();
    const uint64_t before = appended_;
    while (appended_ == before) {
        {
            std::unique_lock guard(lock_);
            awaited_ = std::min(kBatch, dispatched_ - appended_);
            appenderWaiting_.store(true);
            slotDone_.wait_for(guard, kStatusRefresh, [&] { return AwaitedDone(); });
            appenderWaiting_.store(false);
            awaited_ = 0;
        }
        AppendDone();
    }
}

void ParallelPacker::AppendDone() {
    uint64_t next = appended_;
    while (next != dispatched_ && SlotOf(next).done.load(std::memory_order_acquire)) {
        Slot& slot = SlotOf(next);
        if (slot.error) std::rethrow_exception(slot.error);
        if (!LeaveOutOverCapacity(run_)) AppendFile(slot.prepared, slot.path, run_);
        if (slot.charged != 0) {
            slot.buffers.input.Release();
            slot.buffers.compression.output.Release();
            slot.buffers.compression.check.Release();
        }
        ++next;
    }
    if (next == appended_) return;
    bool wake = false;
    {
        std::lock_guard guard(lock_);
        for (uint64_t sequence = appended_; sequence != next; ++sequence) {
            largeHeld_ -= SlotOf(sequence).charged;
            SlotOf(sequence).charged = 0;
        }
        appended_ = next;
        wake = heldBack_ != 0;
    }
    if (wake) memoryFreed_.notify_all();
    if (appended_ != filled_) ShowOldest();
}

void ParallelPacker::ShowOldest() {
    // As the single-thread compile does, a file past the entry limit is not named.
    if (run_.Entries.size() < run_.Limits.maxEntries) {
        run_.Progress.CurrentFileName.Set(SlotOf(appended_).fileName);
    }
}
