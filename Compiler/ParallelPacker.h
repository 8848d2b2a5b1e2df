// Packs files on a pool of worker threads while the compile thread walks:
// the walk hands each file to a slot, any idle worker reads and compresses it,
// and the compile thread appends the slots strictly in walk order, so the
// archive is the one a single thread writes.
//
// Memory stays bounded however large the tree: a fixed number of slots is in
// flight; each worker keeps its input and output buffers for its next file
// up to 8 MiB each; a finished file waits in its slot as a copy of its stored
// bytes (over 8 MiB, in the worker's buffer itself), released once appended.
// Files small enough for their slot's share of 32 MiB go uncounted; larger
// ones are charged against a budget: while the oldest file in flight may
// always take what it needs, the others together hold at most (workers - 1)
// times the largest need met so far, or 32 MiB when that is more. The peak is
// thus `workers` times the largest file's buffers (about 2.1 times its size;
// 3.1 at the best level, which checks each stream), or the largest file's
// and 32 MiB, plus 32 MiB and 16 MiB a worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Compiler/FilePacker.h"
#include "Shared/WorkerGroup.h"

class ParallelPacker final : public FilePacker {
  public:
    // Starts up to `workers` worker threads (fewer when the system refuses).
    ParallelPacker(CompileRun& run, unsigned workers, const WorkerGroup::StartFault& fault = {});
    // Stops the workers once their current file is done, and waits for them.
    ~ParallelPacker() override;
    ParallelPacker(const ParallelPacker&) = delete;
    ParallelPacker& operator=(const ParallelPacker&) = delete;

    unsigned Workers() const { return group_.Workers(); }

    void Pack(FileToPack file) override;
    void Finish() override;

  private:
    // One file in flight. The compile thread fills it while it is free; the
    // worker that takes it owns the buffers and the result until it marks it
    // done; then the compile thread appends it and frees it.
    struct Slot {
        FileToPack file;
        std::unique_ptr<unsigned char[]> copy;  // the stored bytes, most often
        ReusedBuffer takenAlong;                // or a large buffer holding them
        PreparedFile prepared;
        std::exception_ptr error;
        uint64_t charged = 0;  // large buffer bytes counted against the budget
        bool done = false;     // guarded by lock_
    };

    // A worker's part: packs the file in the slot of `sequence`.
    void PackSlot(uint64_t sequence, FileBuffers& own);
    // Moves a file's stored bytes out of the worker's buffers into its slot.
    static void HandOver(FileBuffers& own, Slot& slot);
    // Whether a finished file should wake the compile thread (under lock_).
    bool AppenderShouldWake() const;
    // Holds a worker back until its file's large buffers fit the budget.
    void Admit(uint64_t sequence, Slot& slot, uint64_t bytes);
    // Appends the oldest slot in flight, waiting for it when `wait`; false
    // when there is none, or it is not done and `wait` is false.
    bool AppendOldest(bool wait);
    // The compile is at the oldest file in flight: the status names it.
    void ShowOldest();
    Slot& SlotOf(uint64_t sequence) { return slots_[sequence % slots_.size()]; }

    CompileRun& run_;
    const CompileLevel level_;                            // the workers' copy
    const std::vector<platform::FileIdentity> ownFiles_;  // the workers' copy
    std::vector<Slot> slots_;
    const uint64_t slotShareBytes_;  // a slot's share of what may be held uncharged
    // Each worker reads and compresses every file in its own buffers, kept
    // from one file to the next: fresh allocations would be as many pages to
    // fault in, which cost more than compressing the small files of a
    // documentation tree.
    std::vector<FileBuffers> own_;

    std::mutex lock_;
    std::condition_variable memoryFreed_;  // workers: the budget or the oldest moved
    std::condition_variable slotDone_;     // the compile thread: a worker finished
    // Files numbered in walk order: handed over [0, dispatched_), taken by a
    // worker [0, started_), appended [0, appended_). dispatched_ and appended_
    // are written under lock_ by the compile thread, which alone moves them
    // and so also reads them without it. started_ only tells whether files
    // wait for a worker: each worker counts its file before it looks at it
    // under lock_ when done, so the last file done sees every start.
    uint64_t dispatched_ = 0;
    std::atomic<uint64_t> started_{0};
    uint64_t appended_ = 0;
    uint64_t largeHeld_ = 0;    // sum of the slots' charged bytes
    uint64_t largestNeed_ = 0;  // the largest charge asked for so far
    uint64_t doneNotAppended_ = 0;
    unsigned workersWaitingForMemory_ = 0;
    bool stopping_ = false;
    // Last, so that its workers are gone before what they use.
    WorkerGroup group_;
};
