#include "WebServer/LoopWait.h"

#include <thread>

int WaitForReady(platform::Poller& poller, void** ready, int capacity, int milliseconds,
                 const std::function<bool()>& wokenMeanwhile) {
    if (milliseconds != 0) {
        const int count = poller.Wait(ready, capacity, 0);
        if (count != 0) return count;
        if (wokenMeanwhile()) return 0;
        std::this_thread::yield();
    }
    return poller.Wait(ready, capacity, milliseconds);
}
