/*
 * BInvoker: a message and the handler it goes to when the invoker is
 * invoked, as a control sends its message when it is pressed. The invoker
 * owns its message; the target must outlive it (a control's window does).
 */
#ifndef _INVOKER_H
#define _INVOKER_H

#include <SupportDefs.h>

class BHandler;
class BLooper;
class BMessage;

class BInvoker {
public:
	BInvoker();
	// Takes the message, which may be NULL.
	BInvoker(BMessage* message, const BHandler* handler,
			const BLooper* looper = NULL);
	virtual ~BInvoker();

	// Takes the message and deletes the one before.
	virtual status_t SetMessage(BMessage* message);
	BMessage* Message() const;
	// The message's command, or 0 without one.
	uint32 Command() const;

	// The handler, which belongs to a looper already; or, without one, the
	// looper itself. B_BAD_VALUE for a handler in no looper, or in another
	// looper than the one given.
	virtual status_t SetTarget(
			const BHandler* handler, const BLooper* looper = NULL);
	BHandler* Target(BLooper** looper = NULL) const;

	// Posts a copy of the message given, or of the invoker's own, to the
	// target: B_OK, or B_BAD_VALUE without a message or a target.
	virtual status_t Invoke(BMessage* message = NULL);

private:
	BInvoker(const BInvoker&) = delete;
	BInvoker& operator=(const BInvoker&) = delete;

	BMessage* fMessage;
	BHandler* fTarget;
};

#endif // _INVOKER_H
