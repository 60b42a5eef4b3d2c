// Allocation failure injection for the out-of-memory tests. The test
// program is linked with --wrap=malloc,--wrap=calloc,--wrap=realloc, so
// every malloc, calloc and realloc call made by the library's code (the decoder's and encoder's
// included) passes through here.
#pragma once

// Counts the allocations made from now on and makes allocation number n
// (from 1) fail by returning null; n = 0 only counts.
void fail_allocation(int n);

// Stops counting and failing; returns how many allocations were counted.
int stop_failing(void);
