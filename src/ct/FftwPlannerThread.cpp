#include "FftwPlannerThread.h"

#include <fftw3.h>

#include <mutex>

void FftwPlannerThread::makePlannerThreadSafe()
{
    static std::once_flag once;
    std::call_once(once, fftw_make_planner_thread_safe);
}
