#include "payload/PoolJob.h"

namespace {
DWORD WINAPI RunPoolJob(void* parameter) {
    PoolJob* job = static_cast<PoolJob*>(parameter);
    job->work(job->argument);
    job->done.store(1, std::memory_order_release);
    return 0;
}
}  // namespace

bool StartPoolJob(PoolJob* job, void (*work)(void*), void* argument) {
    job->work = work;
    job->argument = argument;
    job->done.store(0, std::memory_order_relaxed);
    return ::QueueUserWorkItem(RunPoolJob, job, WT_EXECUTEDEFAULT) != FALSE;
}

void JoinPoolJob(PoolJob* job) {
    while (!job->done.load(std::memory_order_acquire)) ::SwitchToThread();
}
