#pragma once
// Work handed to a thread of the process's thread pool and joined by the pool's own wait. Making
// and ending a thread of one's own costs about a millisecond; a pool thread, once made, is reused.
#include <windows.h>

struct PoolJob {
    PTP_WORK item;
    void (*work)(void* argument);
    void* argument;
};

// Queues work(argument) on the pool. False when nothing could be queued: the caller then does
// the work itself. job must stay in place until JoinPoolJob returns.
bool StartPoolJob(PoolJob* job, void (*work)(void*), void* argument);
// Blocks until work has returned; everything it wrote is then visible to the caller, and the pool
// thread touches neither job nor argument any more.
void JoinPoolJob(PoolJob* job);
