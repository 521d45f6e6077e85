/*
 * Thread calls of the kernel, on the host's threads.
 */
#include <OS.h>

#include <pthread.h>
#include <unistd.h>

#include <atomic>


namespace {

// A thread's id, asked of the kernel once: every lock of a looper asks for
// it. A forked child's thread has an id of its own, so a fork makes every
// thread ask again.
std::atomic<unsigned> sForks(0);
thread_local unsigned tAskedAt = ~0u;
thread_local thread_id tThread = -1;

void
forked()
{
	sForks.fetch_add(1, std::memory_order_relaxed);
}

struct fork_watch {
	fork_watch() { pthread_atfork(NULL, NULL, forked); }
};

const fork_watch sForkWatch;

} // namespace


thread_id
find_thread(const char* name)
{
	if (name != NULL)
		return B_NAME_NOT_FOUND;
	unsigned forks = sForks.load(std::memory_order_relaxed);
	if (tAskedAt != forks) {
		tThread = gettid();
		tAskedAt = forks;
	}
	return tThread;
}
