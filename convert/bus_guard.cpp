#include "convert/bus_guard.h"

#include <setjmp.h>
#include <signal.h>
#include <string.h>

#include <mutex>


namespace {

// Each guarded thread has its own region and its own way out; the host's
// other threads may fault too, and only a guarded thread at its guarded
// region is ours.
thread_local sigjmp_buf* sJump = NULL;
thread_local const char* sStart = NULL;
thread_local size_t sSize = 0;

// The handler is the process's: it goes in with the first guarded thread
// and the one before it comes back with the last, so that threads guarded
// at the same time never take each other's handler for the one before.
std::mutex sLock;
int sGuarded = 0;
bool sInstalled = false;
struct sigaction sPrevious;


void
on_bus_error(int signal, siginfo_t* info, void* context)
{
	const char* address = (const char*)info->si_addr;
	if (sJump != NULL && address >= sStart && address - sStart < (long)sSize)
		siglongjmp(*sJump, 1);

	if ((sPrevious.sa_flags & SA_SIGINFO) != 0) {
		sPrevious.sa_sigaction(signal, info, context);
	} else if (sPrevious.sa_handler != SIG_DFL
			&& sPrevious.sa_handler != SIG_IGN) {
		sPrevious.sa_handler(signal);
	} else {
		// The fault comes again on return, and then takes its usual course.
		sigaction(SIGBUS, &sPrevious, NULL);
	}
}


// True when the handler is in place for one more thread.
bool
enter()
{
	std::lock_guard<std::mutex> lock(sLock);
	if (sGuarded == 0) {
		struct sigaction action;
		memset(&action, 0, sizeof(action));
		action.sa_sigaction = on_bus_error;
		action.sa_flags = SA_SIGINFO;
		sigemptyset(&action.sa_mask);
		sInstalled = sigaction(SIGBUS, &action, &sPrevious) == 0;
	}
	if (!sInstalled)
		return false;
	sGuarded++;
	return true;
}


void
leave()
{
	std::lock_guard<std::mutex> lock(sLock);
	if (--sGuarded == 0)
		sigaction(SIGBUS, &sPrevious, NULL);
}

} // namespace


bool
run_guarded(const void* start, size_t size, void (*work)(void*), void* cookie)
{
	if (!enter()) {
		work(cookie);
		return true;
	}

	sigjmp_buf jump;
	volatile bool finished = false;
	if (sigsetjmp(jump, 1) == 0) {
		sStart = (const char*)start;
		sSize = size;
		sJump = &jump;
		work(cookie);
		finished = true;
	}
	sJump = NULL;
	leave();
	return finished;
}
