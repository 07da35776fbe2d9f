#include "FftwPlannerThread.h"

#include <fftw3.h>

#include <atomic>
#include <mutex>

bool FftwPlannerThread::isCurrent()
{
    // One claim per process and a flag per thread; a plain atomic bool, because an
    // atomic std::thread::id failed its first exchange under the thread sanitizer.
    static std::atomic<bool> claimed{false};
    thread_local bool planner = false;
    bool expected = false;
    if (!planner && claimed.compare_exchange_strong(expected, true))
        planner = true;
    return planner;
}

void FftwPlannerThread::makePlannerThreadSafe()
{
    static std::once_flag once;
    std::call_once(once, fftw_make_planner_thread_safe);
}
