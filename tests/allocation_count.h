// Counts the heap allocations the calling thread makes while counting, for the tests that show a
// hot path allocates nothing. Linking it replaces the global operator new and delete, so it goes
// into binaries of their own.
#pragma once

namespace zorvik::testing {

void StartCountingAllocations();
// The allocations made by this thread since StartCountingAllocations; counting stops.
int StopCountingAllocations();

}  // namespace zorvik::testing
