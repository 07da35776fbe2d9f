#pragma once

// The FFTW planner (plan creation and destruction) is not re-entrant unless
// fftw_make_planner_thread_safe() has been called at start-up; only fftw_execute on
// distinct plans may run in parallel. The reconstruction cores therefore make and destroy
// their plans on one thread, the GUI thread, while no worker is busy; only the
// centre-of-rotation search plans on a thread of its own, and it needs that call.
// This records the first thread that plans and lets debug builds assert the rule.
class FftwPlannerThread
{
public:
    // True on the thread that planned first (that call makes it the planner thread).
    static bool isCurrent();
    // Lets FFTW serialise its planner itself (once per process, before worker threads
    // exist), so that a plan destroyed on another thread by mistake cannot corrupt it.
    static void makePlannerThreadSafe();
};
