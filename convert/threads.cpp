#include "convert/threads.h"

#include "convert/bus_guard.h"

#include <pthread.h>
#include <sched.h>


thread_plan forced_plan = {0, 0};


namespace {

// From this size on a text is worked on by several threads, each with at
// least this much of it.
const size_t kThreadsFrom = 4 * 1024 * 1024;
const size_t kPerThread = 2 * 1024 * 1024;


// The processors this process may run on, which may be fewer than the
// machine has.
int
processors()
{
	for (int count = CPU_SETSIZE; count <= 64 * CPU_SETSIZE; count *= 2) {
		cpu_set_t* set = CPU_ALLOC(count);
		if (set == NULL)
			return 1;
		size_t size = CPU_ALLOC_SIZE(count);
		int found = sched_getaffinity(0, size, set) == 0
				? CPU_COUNT_S(size, set)
				: 0;
		CPU_FREE(set);
		if (found > 0)
			return found;
	}
	return 1;
}


struct guarded_run {
	const void* start;
	size_t size;
	void (*work)(void*);
	void (*stop)(void*);
	void* cookie;
	std::atomic<bool> faulted;
};

void*
run_one(void* cookie)
{
	guarded_run* run = (guarded_run*)cookie;
	if (!run_guarded(run->start, run->size, run->work, run->cookie)) {
		run->faulted = true;
		run->stop(run->cookie);
	}
	return NULL;
}

} // namespace


int
threads_for(size_t length)
{
	if (forced_plan.threads > 0)
		return forced_plan.threads < kMaxThreads ? forced_plan.threads
												 : kMaxThreads;
	if (length < kThreadsFrom)
		return 1;
	size_t threads = length / kPerThread;
	int allowed = processors();
	if (allowed > kMaxThreads)
		allowed = kMaxThreads;
	return threads < (size_t)allowed ? (int)threads : allowed;
}


bool
run_on_threads(int threads, const void* start, size_t size, void (*work)(void*),
		void (*stop)(void*), void* cookie)
{
	guarded_run run = {start, size, work, stop, cookie, {false}};
	pthread_t helpers[kMaxThreads];
	int started = 0;
	while (started + 1 < threads && started < kMaxThreads
			&& pthread_create(&helpers[started], NULL, run_one, &run) == 0)
		started++;
	run_one(&run);
	for (int i = 0; i < started; i++)
		pthread_join(helpers[i], NULL);
	return !run.faulted;
}


size_t
piece_size(size_t length, size_t preferred)
{
	size_t size = forced_plan.pieceSize > 0 ? forced_plan.pieceSize : preferred;
	const size_t most = 0x7FFFFFFF;
	if (length / size >= most)
		size = length / most + 1;
	return size;
}


uint32_t
piece_count(size_t length, size_t pieceSize)
{
	return (uint32_t)(length / pieceSize + (length % pieceSize != 0 ? 1 : 0));
}


bool
piece_turns::Wait(uint32_t piece)
{
	while (true) {
		uint32_t turn = fTurn.load(std::memory_order_acquire);
		if (turn == piece)
			return true;
		if ((turn & kStopped) != 0)
			return false;
		fTurn.wait(turn, std::memory_order_acquire);
	}
}


void
piece_turns::Pass()
{
	// Keeps kStopped where it is set.
	fTurn.fetch_add(1, std::memory_order_release);
	fTurn.notify_all();
}


void
piece_turns::Stop()
{
	fTurn.fetch_or(kStopped);
	fTurn.notify_all();
}
