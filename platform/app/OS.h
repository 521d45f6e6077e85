/*
 * The kernel's thread types and calls that the kits use, with the platform's
 * names and values. A thread_id is the host's thread id, as the host's own
 * tools (ps, a debugger) show it.
 */
#ifndef _OS_H
#define _OS_H

#include <SupportDefs.h>

typedef int32 thread_id;
typedef int32 team_id;

#define B_INFINITE_TIMEOUT (9223372036854775807LL)

// Thread priorities. The host schedules all threads alike; the values are
// accepted and kept for callers written against the platform.
enum {
	B_IDLE_PRIORITY = 0,
	B_LOWEST_ACTIVE_PRIORITY = 1,
	B_LOW_PRIORITY = 5,
	B_NORMAL_PRIORITY = 10,
	B_DISPLAY_PRIORITY = 15,
	B_URGENT_DISPLAY_PRIORITY = 20,
	B_REAL_TIME_DISPLAY_PRIORITY = 100,
	B_URGENT_PRIORITY = 110,
	B_REAL_TIME_PRIORITY = 120
};

#ifdef __cplusplus
extern "C" {
#endif

// With NULL, the calling thread. Threads are not looked up by name here:
// any name gives B_NAME_NOT_FOUND.
thread_id find_thread(const char* name);

#ifdef __cplusplus
}
#endif

#endif // _OS_H
