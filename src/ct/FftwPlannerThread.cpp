#include "FftwPlannerThread.h"

#include <fftw3.h>

#include <atomic>
#include <mutex>
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

void FftwPlannerThread::makePlannerThreadSafe()
{
    static std::once_flag once;
    std::call_once(once, fftw_make_planner_thread_safe);
}
