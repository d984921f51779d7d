#pragma once

// Counts every operator new of the process between the two calls (the
// plug-in's shared object binds to the test program's operator new too).
// Any thread.
void StartCountingAllocations();
// Stops counting; returns the allocations made since the start.
int StopCountingAllocations();
