#pragma once

// The FFTW planner (plan creation and destruction) is not re-entrant; only
// fftw_execute on distinct plans may run in parallel. The application therefore makes
// and destroys every plan on one thread, the GUI thread, while no worker is busy.
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
