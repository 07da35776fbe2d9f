#pragma once

// The FFTW planner (plan creation and destruction) is not re-entrant unless
// fftw_make_planner_thread_safe() has been called; only fftw_execute on distinct plans
// may run in parallel otherwise. Every reconstruction worker plans its own transforms on
// its own thread, and so does the centre-of-rotation search, so the planner is made
// thread-safe once, at start-up, before any of those threads exists.
class FftwPlannerThread
{
public:
    // Lets FFTW serialise its planner itself (once per process, before worker threads exist).
    static void makePlannerThreadSafe();
};
