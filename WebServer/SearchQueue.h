// The searches of a library's archives, started one at a time on a thread of
// its own: each index opens from the cache folder or is built before the next
// one starts, so that a library of hundreds of archives never builds hundreds
// of indexes at once. A query meanwhile says which are still building.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "Search/SiteSearch.h"

class SearchQueue {
  public:
    SearchQueue();
    // Stops waiting and joins the thread; a build under way ends with its
    // archive.
    ~SearchQueue();
    SearchQueue(const SearchQueue&) = delete;
    SearchQueue& operator=(const SearchQueue&) = delete;

    // Starts `search` after those added before; not at all once its archive
    // is dropped (the last holder let go).
    void Add(std::weak_ptr<SiteSearch> search);

  private:
    void Run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::weak_ptr<SiteSearch>> waiting_;
    bool stopping_ = false;
    std::thread thread_;
};
