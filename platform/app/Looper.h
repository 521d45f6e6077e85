/*
 * BLooper: a message loop on a thread of its own, and the lock that guards
 * the looper's state and every handler that belongs to it.
 *
 * A looper is locked by the thread that constructs it. Run() spawns the
 * loop's thread and gives up that lock; from then on any thread that touches
 * the looper or its handlers holds the lock (Lock()/Unlock(), which nest and
 * are granted in the order they were asked for). The loop takes the lock for
 * each message it dispatches. Quit() ends the loop and deletes the looper:
 * called on the looper's thread, once the message at hand is done; called on
 * another thread, after the messages posted before it, and it returns only
 * when the looper is gone.
 *
 * A looper that serves a source of events of its own besides its messages
 * (a window and its display connection) overrides two hooks, both called on
 * the looper's thread with the looper locked:
 * - EventDescriptor() returns a file descriptor that becomes readable when
 *   the source has events; the loop sleeps until either a message is posted
 *   or that descriptor is readable.
 * - DispatchEvents() handles what the source has, without blocking. It is
 *   called on every turn of the loop: before it sleeps and after it wakes.
 *   It must drain whatever the source already read from the descriptor into
 *   a buffer of its own, since that no longer makes the descriptor readable,
 *   and send out what it wants written before the loop sleeps.
 */
#ifndef _LOOPER_H
#define _LOOPER_H

#include <Handler.h>
#include <Message.h>
#include <OS.h>
#include <SupportDefs.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#define B_LOOPER_PORT_DEFAULT_CAPACITY 200

class BLooper : public BHandler {
public:
	// The priority and the capacity are accepted for the platform's callers;
	// the host schedules every thread alike and the queue has no bound.
	BLooper(const char* name = NULL, int32 priority = B_NORMAL_PRIORITY,
			int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
	// Only Quit() deletes a looper that runs.
	virtual ~BLooper();

	// Queue a copy of the message for the looper itself or for one
	// of its handlers. The caller keeps the message. This layer
	// carries no replies: replyTo is accepted and not used.
	status_t PostMessage(uint32 command);
	status_t PostMessage(BMessage* message);
	status_t PostMessage(
			uint32 command, BHandler* handler, BHandler* replyTo = NULL);
	status_t PostMessage(
			BMessage* message, BHandler* handler, BHandler* replyTo = NULL);

	// Called with the looper locked for each message. B_QUIT_REQUESTED for
	// the looper itself asks QuitRequested() and quits when it agrees;
	// everything else goes to the handler's MessageReceived().
	virtual void DispatchMessage(BMessage* message, BHandler* handler);
	virtual void MessageReceived(BMessage* message);
	// The message being dispatched, or NULL.
	bool IsMessageWaiting() const;

	// The handlers; with the looper locked.
	void AddHandler(BHandler* handler);
	bool RemoveHandler(BHandler* handler);

	// With the looper locked; the thread's id, or an error code.
	virtual thread_id Run();
	// With the looper locked.
	virtual void Quit();
	virtual bool QuitRequested();

	bool Lock();
	void Unlock();
	status_t LockWithTimeout(bigtime_t timeout);
	// Locked by the calling thread.
	bool IsLocked() const;
	thread_id LockingThread() const;
	int32 CountLocks() const;

	thread_id Thread() const;

protected:
	virtual int EventDescriptor();
	virtual void DispatchEvents();

private:
	friend class BApplication;

	struct LoopThread;
	struct LockWaiter;
	struct QueuedMessage {
		BMessage* message;
		BHandler* target;
	};

	BLooper(const BLooper&) = delete;
	BLooper& operator=(const BLooper&) = delete;

	static void* _ThreadEntry(void* data);
	// Entered and left with the lock held once by the calling
	// thread.
	void _Loop();
	bool _NextMessage(QueuedMessage& next);
	void _Dispatch(const QueuedMessage& next);
	// Ends the loop after the messages posted so far; with the
	// lock held.
	void _EndLoop();
	void _UnlockFully();
	void _HandOverLock();
	bool _AssertLocked(const char* operation) const;
	const char* _PrintableName() const;

	status_t fInitStatus;

	// The lock.
	mutable std::mutex fLockGuard;
	std::condition_variable fLockHandedOver;
	thread_id fOwner;
	int32 fOwnerCount;
	std::deque<LockWaiter*> fLockWaiters;
	bool fLockDeleted;

	// The queue, with a lock of its own so that posting never
	// waits for a message being dispatched.
	mutable std::mutex fQueueLock;
	std::deque<QueuedMessage> fQueue;
	int fWakeDescriptor;

	// State guarded by the looper's lock.
	std::vector<BHandler*> fHandlers;
	bool fRunCalled;
	bool fTerminating;
	std::atomic<thread_id> fThread;
	std::shared_ptr<LoopThread> fLoopThread;
};

#endif // _LOOPER_H
