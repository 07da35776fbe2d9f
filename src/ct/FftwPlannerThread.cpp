#include "FftwPlannerThread.h"

#include <atomic>
#include <thread>

bool FftwPlannerThread::isCurrent()
{
    static std::atomic<std::thread::id> planner{std::thread::id()};
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id expected;
    if (planner.compare_exchange_strong(expected, self))
        return true;
    return expected == self;
}
