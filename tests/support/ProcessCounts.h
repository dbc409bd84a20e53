// What this process holds now: its threads, job workers and handles, for
// the tests that check that nothing is left behind.
#pragma once

// The number of threads this process has now.
int CountOwnThreads();

// The number of job workers alive in this process now: threads started at
// the worker's procedure that have not ended (threads the system or the
// test harness starts meanwhile don't count).
int CountJobWorkers();

// The number of handles this process holds now, read from the system's
// handle table (Wine answers GetProcessHandleCount with 0); -1 when it
// can't be read.
int CountOwnHandles();
