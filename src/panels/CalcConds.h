#pragma once

#include "ReconFilter.h"

// The request of one reconstruction run, filled from the processing controls at
// every start (ProcCtrl::fillCalcConds) and read by the main window's dispatcher.
struct CalcConds
{
    bool useCt1 = false;     // single-slice engine
    bool useCt2 = false;     // multi-thread engine
    bool rotAxIsV = false;   // rotation axis vertical: slices are detector columns
    int slice = 0;           // current slice (detector line)
    double cor = 0.0;        // centre of rotation in detector pixels
    bool rangeMode = false;  // reconstruct sliceFrom..sliceTo instead of the current slice
    int sliceFrom = 0;
    int sliceTo = 0;
    int sliceStep = 1;       // signed: negative when sliceFrom > sliceTo
    int threads = 1;         // worker count for the range
    ReconFilter filter;      // default ramp or the quantitative mode with its window
    int nextSlice = 0;       // next slice to hand out; kept by the dispatcher
};
