#include "payload/PoolJob.h"

namespace {
void CALLBACK RunPoolJob(PTP_CALLBACK_INSTANCE, void* parameter, PTP_WORK) {
    PoolJob* job = static_cast<PoolJob*>(parameter);
    job->work(job->argument);
}
}  // namespace

bool StartPoolJob(PoolJob* job, void (*work)(void*), void* argument) {
    job->work = work;
    job->argument = argument;
    job->item = ::CreateThreadpoolWork(RunPoolJob, job, nullptr);
    if (!job->item) return false;
    ::SubmitThreadpoolWork(job->item);
    return true;
}

void JoinPoolJob(PoolJob* job) {
    ::WaitForThreadpoolWorkCallbacks(job->item, FALSE);
    ::CloseThreadpoolWork(job->item);
}
