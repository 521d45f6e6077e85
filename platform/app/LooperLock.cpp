/*
 * BLooper's lock: held by one thread at a time, any number of times, and
 * handed to the waiting threads in the order they came.
 */
#include <Looper.h>

#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <new>


namespace {

// Timeouts beyond this (over a century) wait as long as it takes; the
// clock arithmetic of longer ones would overflow.
const bigtime_t kLongestTimeout = bigtime_t(1) << 52;

} // namespace


// A thread waiting for the lock; Unlock() hands the lock to the first.
struct BLooper::LockWaiter {
	thread_id thread;
	bool granted;
};


bool
BLooper::Lock()
{
	return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}


void
BLooper::Unlock()
{
	std::lock_guard<std::mutex> guard(fLockGuard);
	if (fOwner != find_thread(NULL)) {
		fprintf(stderr,
				"BLooper::Unlock: \"%s\" is not locked by this thread\n",
				_PrintableName());
		return;
	}
	if (--fOwnerCount == 0)
		_HandOverLock();
}


status_t
BLooper::LockWithTimeout(bigtime_t timeout)
{
	thread_id self = find_thread(NULL);
	std::unique_lock<std::mutex> guard(fLockGuard);
	if (fLockDeleted)
		return B_BAD_VALUE;
	if (fOwner == self) {
		fOwnerCount++;
		return B_OK;
	}
	if (fOwner < 0 && fLockWaiters.empty()) {
		fOwner = self;
		fOwnerCount = 1;
		return B_OK;
	}
	if (timeout <= 0)
		return B_WOULD_BLOCK;

	LockWaiter waiter = {self, false};
	try {
		fLockWaiters.push_back(&waiter);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}

	auto settled = [&] { return waiter.granted || fLockDeleted; };
	if (timeout >= kLongestTimeout)
		fLockHandedOver.wait(guard, settled);
	else {
		fLockHandedOver.wait_for(
				guard, std::chrono::microseconds(timeout), settled);
	}
	if (waiter.granted)
		return B_OK;

	fLockWaiters.erase(
			std::find(fLockWaiters.begin(), fLockWaiters.end(), &waiter));
	if (fLockDeleted) {
		fLockHandedOver.notify_all();
		return B_BAD_VALUE;
	}
	return B_TIMED_OUT;
}


bool
BLooper::IsLocked() const
{
	std::lock_guard<std::mutex> guard(fLockGuard);
	return fOwner == find_thread(NULL);
}


thread_id
BLooper::LockingThread() const
{
	std::lock_guard<std::mutex> guard(fLockGuard);
	return fOwner;
}


int32
BLooper::CountLocks() const
{
	std::lock_guard<std::mutex> guard(fLockGuard);
	return fOwnerCount;
}


void
BLooper::_UnlockFully()
{
	std::lock_guard<std::mutex> guard(fLockGuard);
	if (fOwner != find_thread(NULL))
		return;
	_HandOverLock();
}


void
BLooper::_HandOverLock()
{
	fOwner = -1;
	fOwnerCount = 0;
	if (fLockWaiters.empty())
		return;

	LockWaiter* next = fLockWaiters.front();
	fLockWaiters.pop_front();
	next->granted = true;
	fOwner = next->thread;
	fOwnerCount = 1;
	fLockHandedOver.notify_all();
}


bool
BLooper::_AssertLocked(const char* operation) const
{
	if (IsLocked())
		return true;
	fprintf(stderr, "BLooper::%s: \"%s\" is not locked by this thread\n",
			operation, _PrintableName());
	return false;
}
