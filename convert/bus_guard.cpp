#include "convert/bus_guard.h"

#include <setjmp.h>
#include <signal.h>
#include <string.h>


namespace {

// Conversions never overlap, but the host's other threads may fault too:
// only the guarded thread, at the guarded region, is ours.
thread_local sigjmp_buf* sJump = NULL;
thread_local const char* sStart = NULL;
thread_local size_t sSize = 0;
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

} // namespace


bool
run_guarded(const void* start, size_t size, void (*work)(void*), void* cookie)
{
	struct sigaction action;
	memset(&action, 0, sizeof(action));
	action.sa_sigaction = on_bus_error;
	action.sa_flags = SA_SIGINFO;
	sigemptyset(&action.sa_mask);
	struct sigaction previous;
	if (sigaction(SIGBUS, &action, &previous) != 0) {
		work(cookie);
		return true;
	}
	sPrevious = previous;

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
	sigaction(SIGBUS, &previous, NULL);
	return finished;
}
