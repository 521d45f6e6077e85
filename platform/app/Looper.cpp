/*
 * BLooper: its queue and its loop; its lock is in LooperLock.cpp.
 */
#include <Looper.h>

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <new>


namespace {

// Ends the loop once the messages posted before it are done; posted by
// Quit() on a thread other than the looper's own.
const uint32 kQuitLooper = 0x5F514954; // '_QIT'


// The host's part of waking a sleeping loop: a counter that a poster bumps
// and the loop clears, readable while it is not zero.

int
create_wake_descriptor()
{
	return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}


void
wake(int descriptor)
{
	uint64_t one = 1;
	while (write(descriptor, &one, sizeof(one)) < 0 && errno == EINTR)
		;
}


void
clear_wake(int descriptor)
{
	uint64_t count;
	while (read(descriptor, &count, sizeof(count)) < 0 && errno == EINTR)
		;
}


// Sleeps until the wake descriptor or the event descriptor (if any) is
// readable.
void
wait_for_wake(int wakeDescriptor, int eventDescriptor)
{
	struct pollfd descriptors[2]
			= {{wakeDescriptor, POLLIN, 0}, {eventDescriptor, POLLIN, 0}};
	nfds_t count = eventDescriptor >= 0 ? 2 : 1;
	while (poll(descriptors, count, -1) < 0 && errno == EINTR)
		;
}

} // namespace


// What the loop's thread and a thread waiting for it to end share; it
// outlives the looper, which the loop's thread deletes.
struct BLooper::LoopThread {
	std::mutex lock;
	std::condition_variable changed;
	BLooper* looper = NULL;
	thread_id thread = -1;
	bool started = false;
	bool finished = false;
};


BLooper::BLooper(const char* name, int32 priority, int32 portCapacity)
	: BHandler(name)
	, fInitStatus(B_OK)
	, fOwner(find_thread(NULL))
	, fOwnerCount(1)
	, fLockDeleted(false)
	, fWakeDescriptor(create_wake_descriptor())
	, fRunCalled(false)
	, fTerminating(false)
	, fThread(-1)
{
	(void)priority;
	(void)portCapacity;

	if (fWakeDescriptor < 0)
		fInitStatus = status_from_errno(errno);

	fHandlers.push_back(this);
	_SetLooper(this);
}


BLooper::~BLooper()
{
	{
		// Threads still waiting for the lock give up instead of waiting
		// on a looper that is gone.
		std::unique_lock<std::mutex> guard(fLockGuard);
		fLockDeleted = true;
		fLockHandedOver.notify_all();
		fLockHandedOver.wait(guard, [this] { return fLockWaiters.empty(); });
	}

	{
		std::lock_guard<std::mutex> guard(fQueueLock);
		for (const QueuedMessage& queued : fQueue)
			delete queued.message;
		fQueue.clear();
	}

	for (BHandler* handler : fHandlers) {
		if (handler != this)
			handler->SetNextHandler(NULL);
		handler->_SetLooper(NULL);
	}
	fHandlers.clear();

	if (fWakeDescriptor >= 0)
		close(fWakeDescriptor);
}


status_t
BLooper::PostMessage(uint32 command)
{
	BMessage message(command);
	return PostMessage(&message, this);
}


status_t
BLooper::PostMessage(BMessage* message)
{
	return PostMessage(message, this);
}


status_t
BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
	BMessage message(command);
	return PostMessage(&message, handler, replyTo);
}


status_t
BLooper::PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo)
{
	(void)replyTo;

	if (fInitStatus != B_OK)
		return fInitStatus;
	if (message == NULL)
		return B_BAD_VALUE;
	if (handler == NULL)
		handler = this;
	else if (handler->Looper() != this)
		return B_MISMATCHED_VALUES;

	try {
		BMessage* copy = new BMessage(*message);
		std::lock_guard<std::mutex> guard(fQueueLock);
		try {
			fQueue.push_back(QueuedMessage {copy, handler});
		} catch (const std::bad_alloc&) {
			delete copy;
			return B_NO_MEMORY;
		}
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}

	wake(fWakeDescriptor);
	return B_OK;
}


void
BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
	switch (message->what) {
	case kQuitLooper:
		fTerminating = true;
		break;

	case B_QUIT_REQUESTED:
		if (handler == this) {
			if (QuitRequested())
				Quit();
			break;
		}
		[[fallthrough]];

	default:
		handler->MessageReceived(message);
		break;
	}
}


void
BLooper::MessageReceived(BMessage* message)
{
	BHandler::MessageReceived(message);
}


bool
BLooper::IsMessageWaiting() const
{
	std::lock_guard<std::mutex> guard(fQueueLock);
	return !fQueue.empty();
}


void
BLooper::AddHandler(BHandler* handler)
{
	if (handler == NULL || !_AssertLocked("AddHandler"))
		return;
	if (handler->Looper() != NULL)
		return;

	fHandlers.push_back(handler);
	handler->_SetLooper(this);
	handler->SetNextHandler(this);
}


bool
BLooper::RemoveHandler(BHandler* handler)
{
	if (handler == NULL || handler == this || !_AssertLocked("RemoveHandler"))
		return false;

	auto found = std::find(fHandlers.begin(), fHandlers.end(), handler);
	if (found == fHandlers.end())
		return false;

	fHandlers.erase(found);
	handler->SetNextHandler(NULL);
	handler->_SetLooper(NULL);
	return true;
}


thread_id
BLooper::Run()
{
	if (fInitStatus != B_OK)
		return fInitStatus;
	if (!_AssertLocked("Run"))
		return B_NOT_ALLOWED;
	if (fRunCalled)
		return fThread;

	std::shared_ptr<LoopThread> loop;
	std::shared_ptr<LoopThread>* handOver;
	try {
		loop = std::make_shared<LoopThread>();
		handOver = new std::shared_ptr<LoopThread>(loop);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	loop->looper = this;

	pthread_attr_t attributes;
	pthread_attr_init(&attributes);
	pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
	pthread_t thread;
	int error = pthread_create(&thread, &attributes, &_ThreadEntry, handOver);
	pthread_attr_destroy(&attributes);
	if (error != 0) {
		delete handOver;
		return status_from_errno(error);
	}

	{
		std::unique_lock<std::mutex> guard(loop->lock);
		loop->changed.wait(guard, [&] { return loop->started; });
		fThread = loop->thread;
	}
	fLoopThread = loop;
	fRunCalled = true;

	// The loop's thread waits for this lock before it dispatches anything.
	Unlock();
	return fThread;
}


void
BLooper::Quit()
{
	if (!IsLocked()) {
		fprintf(stderr, "BLooper::Quit: lock the looper \"%s\" first\n",
				_PrintableName());
		if (!Lock())
			return;
	}

	if (!fRunCalled) {
		fTerminating = true;
		delete this;
		return;
	}

	if (find_thread(NULL) == fThread) {
		// The loop deletes the looper when the message at hand is done.
		fTerminating = true;
		return;
	}

	std::shared_ptr<LoopThread> loop = fLoopThread;
	_EndLoop();
	_UnlockFully();

	std::unique_lock<std::mutex> guard(loop->lock);
	loop->changed.wait(guard, [&] { return loop->finished; });
}


bool
BLooper::QuitRequested()
{
	return true;
}


thread_id
BLooper::Thread() const
{
	return fThread;
}


int
BLooper::EventDescriptor()
{
	return -1;
}


void
BLooper::DispatchEvents()
{
}


void*
BLooper::_ThreadEntry(void* data)
{
	std::shared_ptr<LoopThread>* handOver
			= static_cast<std::shared_ptr<LoopThread>*>(data);
	std::shared_ptr<LoopThread> loop = *handOver;
	delete handOver;

	BLooper* looper;
	{
		std::lock_guard<std::mutex> guard(loop->lock);
		loop->thread = find_thread(NULL);
		loop->started = true;
		looper = loop->looper;
	}
	loop->changed.notify_all();

	if (looper->Lock()) {
		looper->_Loop();
		delete looper;
	}

	{
		std::lock_guard<std::mutex> guard(loop->lock);
		loop->finished = true;
	}
	loop->changed.notify_all();
	return NULL;
}


void
BLooper::_Loop()
{
	while (true) {
		DispatchEvents();
		if (fTerminating)
			return;

		int eventDescriptor = EventDescriptor();
		QueuedMessage next;
		bool dispatched = _NextMessage(next);
		if (dispatched) {
			_Dispatch(next);
			if (fTerminating)
				return;
		}

		Unlock();
		if (!dispatched) {
			wait_for_wake(fWakeDescriptor, eventDescriptor);
			// Cleared before the queue is looked at again, so that a
			// message posted from now on wakes the next sleep.
			clear_wake(fWakeDescriptor);
		}
		Lock();
	}
}


bool
BLooper::_NextMessage(QueuedMessage& next)
{
	std::lock_guard<std::mutex> guard(fQueueLock);
	if (fQueue.empty())
		return false;
	next = fQueue.front();
	fQueue.pop_front();
	return true;
}


void
BLooper::_Dispatch(const QueuedMessage& next)
{
	// A handler that left the looper since the message was posted no
	// longer receives it.
	bool present = std::find(fHandlers.begin(), fHandlers.end(), next.target)
			!= fHandlers.end();
	if (present) {
		DispatchMessage(next.message, next.target);
	}
	delete next.message;
}


void
BLooper::_EndLoop()
{
	if (PostMessage(kQuitLooper) == B_OK)
		return;

	// Without room for the message, the loop ends at its next turn.
	fTerminating = true;
	wake(fWakeDescriptor);
}


const char*
BLooper::_PrintableName() const
{
	return Name() != NULL ? Name() : "";
}
