/*
 * BHandler: an object that messages are delivered to. It belongs to at most
 * one looper, whose lock guards it.
 */
#ifndef _HANDLER_H
#define _HANDLER_H

#include <SupportDefs.h>

#include <atomic>

class BLooper;
class BMessage;

class BHandler {
public:
	BHandler(const char* name = NULL);
	virtual ~BHandler();

	// Passes the message on to the next handler; the last one drops it.
	virtual void MessageReceived(BMessage* message);

	BLooper* Looper() const;

	void SetName(const char* name);
	const char* Name() const;

	virtual void SetNextHandler(BHandler* handler);

	// Lock the looper this handler belongs to, and make sure it
	// still belongs to it once the lock is held.
	bool LockLooper();
	status_t LockLooperWithTimeout(bigtime_t timeout);

private:
	friend class BLooper;

	BHandler(const BHandler&) = delete;
	BHandler& operator=(const BHandler&) = delete;

	void _SetLooper(BLooper* looper);

	char* fName;
	std::atomic<BLooper*> fLooper;
	BHandler* fNextHandler;
};

#endif // _HANDLER_H
