#include "Compiler/ParallelPacker.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace {

// What all slots together keep of their buffers for their next files; a slot's
// buffers beyond its share are counted against the budget and released once
// their file is appended.
constexpr uint64_t kKeptBytes = uint64_t{32} << 20;

// Slots beyond one per worker let small files flow past a large one that is
// still being compressed: the other worker packs hundreds of small pages in
// the time one of a few MB is compressed, and with 60 slots it stood idle
// behind each of the 83 such files of a large documentation tree. Small
// files cost a slot little, as what slots keep between files is bounded by
// kKeptBytes in all.
constexpr unsigned kExtraSlots = 250;

// A worker's own input buffer is kept for its next file up to this size: most
// pages of a documentation tree fit, and there is one such buffer per worker.
constexpr uint64_t kWorkerKeptInputBytes = uint64_t{4} << 20;

}  // namespace

ParallelPacker::ParallelPacker(CompileRun& run, unsigned workers)
    : run_(run),
      level_(run.Level),
      ownFiles_(run.OwnFiles),
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
    while (dispatched_ - appended_ == slots_.size()) AppendOldest(true);
    Slot& slot = SlotOf(dispatched_);
    slot.path = std::move(path);
    slot.fileName = std::move(fileName);
    slot.error = nullptr;
    {
        std::lock_guard guard(lock_);
        slot.done = false;
        ++dispatched_;
    }
    workQueued_.notify_one();
    if (dispatched_ - appended_ == 1) ShowOldest();
    while (AppendOldest(false)) {
    }
}

void ParallelPacker::Finish() {
    while (!run_.Output.Failed() && !run_.StopRequested() && AppendOldest(true)) {
    }
}

void ParallelPacker::WorkerLoop() {
    // The worker reads every file into its own input buffer and compresses
    // it into the slot's output buffer; only a file stored as read takes the
    // input buffer along to its slot. Input buffers in every slot would be
    // as many fresh allocations whose pages the first read of each faults in,
    // which cost more than compressing the small files of a documentation tree.
    FileBuffers own;
    for (;;) {
        uint64_t sequence = 0;
        {
            std::unique_lock guard(lock_);
            workQueued_.wait(guard, [this] { return stopping_ || started_ < dispatched_; });
            if (stopping_) return;
            sequence = started_++;
        }
        Slot& slot = SlotOf(sequence);
        std::swap(own.compression.output, slot.buffers.compression.output);
        try {
            slot.prepared = PrepareFile(slot.path, slot.fileName, level_, ownFiles_, own,
                                        [&](uint64_t bytes) { Admit(sequence, slot, bytes); });
        } catch (...) {
            slot.error = std::current_exception();
        }
        std::swap(own.compression.output, slot.buffers.compression.output);
        if (slot.prepared.stored != nullptr && slot.prepared.stored == own.input.Data()) {
            KeepStoredBytes(own, slot);
        }
        if (slot.charged != 0) {
            // A large file's buffers are charged to its slot until it is
            // appended; the worker keeps no more than a modest input buffer.
            if (own.input.Capacity() > kWorkerKeptInputBytes) own.input.Release();
            own.compression.check.Release();
        }
        bool wakeAppender = false;
        {
            std::lock_guard guard(lock_);
            slot.done = true;
            ++doneNotAppended_;
            wakeAppender = AppenderShouldWake();
        }
        if (wakeAppender) slotDone_.notify_one();
    }
}

void ParallelPacker::KeepStoredBytes(FileBuffers& own, Slot& slot) {
    // A small file stored as read is copied to its slot, so that the worker
    // keeps its input buffer; a large one takes the buffer along, as its
    // charge covers one copy only.
    if (slot.charged == 0) {
        unsigned char* copy = slot.buffers.compression.output.Reserve(slot.prepared.storedSize);
        if (copy != nullptr) {
            std::memcpy(copy, slot.prepared.stored, slot.prepared.storedSize);
            slot.prepared.stored = copy;
            return;
        }
    }
    std::swap(own.input, slot.buffers.input);
}

bool ParallelPacker::AppenderShouldWake() const {
    // The compile thread waits only for the oldest file. Waking it for each
    // small file costs a sleep and a wake-up per file on both sides, so it is
    // woken once half the slots are ready to append, while the workers still
    // have the other half queued; and at once when no file is queued or a
    // worker waits for memory that appending frees.
    if (!slots_[appended_ % slots_.size()].done) return false;
    return doneNotAppended_ >= slots_.size() / 2 || started_ == dispatched_ ||
           workersWaitingForMemory_ > 0;
}

void ParallelPacker::Admit(uint64_t sequence, Slot& slot, uint64_t bytes) {
    if (bytes <= keptSlotBytes_) return;
    std::unique_lock guard(lock_);
    largestNeed_ = std::max(largestNeed_, bytes);
    // Files of a few hundred KB, over a slot's share but far from large,
    // share kKeptBytes more, so that they are not held back one by one
    // behind the oldest while no large file has set the allowance.
    const uint64_t othersAllowance = std::max((threads_.size() - 1) * largestNeed_, kKeptBytes);
    const auto fits = [&] {
        if (stopping_ || sequence == appended_) return true;
        const uint64_t othersHeld = largeHeld_ - SlotOf(appended_).charged;
        return othersHeld + bytes <= othersAllowance;
    };
    if (!fits()) {
        ++workersWaitingForMemory_;
        // Files ready to append hold memory until the compile thread appends them.
        if (AppenderShouldWake()) slotDone_.notify_one();
        memoryFreed_.wait(guard, fits);
        --workersWaitingForMemory_;
    }
    largeHeld_ += bytes;
    slot.charged = bytes;
}

bool ParallelPacker::AppendOldest(bool wait) {
    if (appended_ == dispatched_) return false;
    Slot& slot = SlotOf(appended_);
    {
        std::unique_lock guard(lock_);
        if (!slot.done && !wait) return false;
        slotDone_.wait(guard, [&] { return slot.done; });
    }
    if (slot.error) std::rethrow_exception(slot.error);
    if (!LeaveOutOverCapacity(run_)) AppendFile(slot.prepared, slot.path, run_);
    if (slot.charged != 0) {
        slot.buffers.input.Release();
        slot.buffers.compression.output.Release();
        slot.buffers.compression.check.Release();
    }
    {
        std::lock_guard guard(lock_);
        largeHeld_ -= slot.charged;
        slot.charged = 0;
        --doneNotAppended_;
        ++appended_;
    }
    memoryFreed_.notify_all();
    if (appended_ != dispatched_) ShowOldest();
    return true;
}

void ParallelPacker::ShowOldest() {
    // As the single-thread compile does, a file past the entry limit is not named.
    if (run_.Entries.size() < run_.Limits.maxEntries) {
        run_.Progress.CurrentFileName.Set(SlotOf(appended_).fileName);
    }
}
