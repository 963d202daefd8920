#pragma once
// Independent jobs run side by side on a small pool of worker threads, for work that the caller
// waits for anyway (the rate conversion of loaded IRs).
//
// forEach (count, job) runs job (0) .. job (count - 1) and returns when all have finished: the
// calling thread runs jobs itself while it waits, so a job may call forEach in turn (a slot's
// bands inside a project's slots) without running out of threads. The first exception a job
// throws is thrown again from forEach once every job has ended.
//
// Threading: forEach may be called from any thread but the audio thread (it waits, and the pool
// allocates). The jobs must share nothing that they write, and must not wait for the message
// thread (it may be the one waiting for them). The pool's threads start at the first forEach
// that has more than one job and sleep while there is no work.
#include <functional>

namespace PellmixWorkers
{
void forEach (int count, const std::function<void (int)>& job);
} // namespace PellmixWorkers
