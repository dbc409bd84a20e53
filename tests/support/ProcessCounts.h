// What this process holds now: its threads, job workers and handles, for
// the tests that check that nothing is left behind.
#pragma once

int CountOwnThreads();

// The job workers alive in this process now: threads started at the worker's
// procedure that have not ended (not those the system or test harness starts).
int CountJobWorkers();

// The handles this process holds now, read from the system's handle table (Wine
// answers GetProcessHandleCount with 0); -1 when it can't be read.
int CountOwnHandles();
