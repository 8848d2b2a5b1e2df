#include "Compiler/ParallelPacker.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace {

// What the files in flight may hold together uncounted: a file whose buffers
// fit its slot's share of it is not charged against the budget.
constexpr uint64_t kUnchargedBytes = uint64_t{32} << 20;

// Slots beyond one per worker let small files flow past a large one that is
// still being compressed: the other worker packs hundreds of small pages in
// the time one of a few MB is compressed, and with 60 slots it stood idle
// behind each of the 83 such files of a large documentation tree. Small
// files cost a slot little: the copy of their stored bytes.
constexpr unsigned kExtraSlots = 250;

// A worker's own input and output buffers are kept for its next file up to
// this size each: the pages of a documentation tree fit.
constexpr uint64_t kWorkerKeptBytes = ReusedBuffer::kDoublingLimit;

}  // namespace

ParallelPacker::ParallelPacker(CompileRun& run, unsigned workers,
                               const WorkerGroup::StartFault& fault)
    : run_(run),
      level_(run.Level),
      ownFiles_(run.OwnFiles),
      slots_(workers + kExtraSlots),
      slotShareBytes_(kUnchargedBytes / slots_.size()),
      own_(workers),
      // The slots bound the files handed over and not yet appended, so
      // handing one over never waits for room.
      group_(workers, slots_.size(), fault) {}

ParallelPacker::~ParallelPacker() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    memoryFreed_.notify_all();
    group_.Stop();
}

void ParallelPacker::Pack(FileToPack file) {
    // The table only fills up: a file met when it is full is left out whatever
    // the files in flight turn out to be.
    if (LeaveOutOverCapacity(run_)) return;
    while (dispatched_ - appended_ == slots_.size()) AppendOldest(true);
    Slot& slot = SlotOf(dispatched_);
    slot.file = std::move(file);
    slot.error = nullptr;
    const uint64_t sequence = dispatched_;
    {
        std::lock_guard guard(lock_);
        slot.done = false;
        ++dispatched_;
    }
    // Never refused: the packer is used only while two or more workers run,
    // and stops only when destroyed.
    group_.Submit([this, sequence](unsigned worker) { PackSlot(sequence, own_[worker]); });
    if (dispatched_ - appended_ == 1) ShowOldest();
    while (AppendOldest(false)) {
    }
}

void ParallelPacker::Finish() {
    while (!run_.Output.Failed() && !run_.StopRequested() && AppendOldest(true)) {
    }
}

void ParallelPacker::PackSlot(uint64_t sequence, FileBuffers& own) {
    bool wakeAppender = false;
    {
        // The start of the last file queued can be what should wake the
        // compile thread: the files before it finished while it was still
        // queued, and none finishes now until it does (a large file would
        // keep the oldest one unappended and the status on its name).
        std::lock_guard guard(lock_);
        started_.fetch_add(1, std::memory_order_relaxed);
        wakeAppender = AppenderShouldWake();
    }
    if (wakeAppender) slotDone_.notify_one();
    Slot& slot = SlotOf(sequence);
    slot.prepared = {};
    try {
        slot.prepared = PrepareFile(slot.file, level_, ownFiles_, own,
                                    [&](uint64_t bytes) { Admit(sequence, slot, bytes); });
    } catch (...) {
        slot.error = std::current_exception();
    }
    if (slot.prepared.stored != nullptr) HandOver(own, slot);
    if (slot.charged != 0) {
        // A large file's bytes are charged to its slot until it is
        // appended; the worker keeps no more than modest buffers.
        if (own.input.Capacity() > kWorkerKeptBytes) own.input.Release();
        if (own.compression.output.Capacity() > kWorkerKeptBytes) {
            own.compression.output.Release();
        }
        own.compression.check.Release();
    }
    {
        std::lock_guard guard(lock_);
        slot.done = true;
        ++doneNotAppended_;
        wakeAppender = AppenderShouldWake();
    }
    if (wakeAppender) slotDone_.notify_one();
}

void ParallelPacker::HandOver(FileBuffers& own, Slot& slot) {
    // The worker keeps its buffers warm for its next file, and the slot gets
    // a copy of just the stored bytes, which the allocator takes from files
    // appended before. Buffers kept in every slot instead would each grow to
    // the largest file they ever held, as many fresh pages to fault in.
    ReusedBuffer& holder =
        slot.prepared.stored == own.input.Data() ? own.input : own.compression.output;
    if (holder.Capacity() <= kWorkerKeptBytes) {
        slot.copy.reset(new (std::nothrow) unsigned char[std::max(slot.prepared.storedSize, 1u)]);
        if (slot.copy) {
            std::memcpy(slot.copy.get(), slot.prepared.stored, slot.prepared.storedSize);
            slot.prepared.stored = slot.copy.get();
            return;
        }
    }
    // A buffer the worker would not keep goes along as it is.
    std::swap(holder, slot.takenAlong);
}

bool ParallelPacker::AppenderShouldWake() const {
    // The compile thread waits only for the oldest file. Waking it for each
    // small file costs a sleep and a wake-up per file on both sides, so it is
    // woken once half the slots are ready to append, while the workers still
    // have the other half queued; and at once when no file is queued or a
    // worker waits for memory that appending frees.
    if (!slots_[appended_ % slots_.size()].done) return false;
    return doneNotAppended_ >= slots_.size() / 2 ||
           started_.load(std::memory_order_relaxed) == dispatched_ || workersWaitingForMemory_ > 0;
}

void ParallelPacker::Admit(uint64_t sequence, Slot& slot, uint64_t bytes) {
    if (bytes <= slotShareBytes_) return;
    std::unique_lock guard(lock_);
    largestNeed_ = std::max(largestNeed_, bytes);
    // Files of a few hundred KB, over a slot's share but far from large,
    // share kUnchargedBytes more, so that they are not held back one by one
    // behind the oldest while no large file has set the allowance.
    const uint64_t othersAllowance =
        std::max(uint64_t{group_.Workers() - 1} * largestNeed_, kUnchargedBytes);
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
    if (!LeaveOutOverCapacity(run_)) AppendFile(slot.prepared, slot.file.path, run_);
    // The folder closes once none of its files is left in flight.
    slot.file.folder.reset();
    slot.copy.reset();
    slot.takenAlong.Release();
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
    if (run_.Output.Entries().size() < run_.Limits.maxEntries) {
        run_.Progress.CurrentFileName.Set(SlotOf(appended_).file.fileName);
    }
}
