/*
 * BInvoker.
 */
#include <Invoker.h>

#include <Handler.h>
#include <Looper.h>
#include <Message.h>


BInvoker::BInvoker()
	: fMessage(NULL)
	, fTarget(NULL)
{
}


BInvoker::BInvoker(
		BMessage* message, const BHandler* handler, const BLooper* looper)
	: fMessage(message)
	, fTarget(NULL)
{
	SetTarget(handler, looper);
}


BInvoker::~BInvoker()
{
	delete fMessage;
}


status_t
BInvoker::SetMessage(BMessage* message)
{
	if (message == fMessage)
		return B_OK;
	delete fMessage;
	fMessage = message;
	return B_OK;
}


BMessage*
BInvoker::Message() const
{
	return fMessage;
}


uint32
BInvoker::Command() const
{
	return fMessage != NULL ? fMessage->what : 0;
}


status_t
BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
	if (handler == NULL) {
		fTarget = const_cast<BLooper*>(looper);
		return B_OK;
	}
	BLooper* owner = handler->Looper();
	if (owner == NULL || (looper != NULL && looper != owner)) {
		fTarget = NULL;
		return B_BAD_VALUE;
	}
	fTarget = const_cast<BHandler*>(handler);
	return B_OK;
}


BHandler*
BInvoker::Target(BLooper** looper) const
{
	if (looper != NULL)
		*looper = fTarget != NULL ? fTarget->Looper() : NULL;
	return fTarget;
}


status_t
BInvoker::Invoke(BMessage* message)
{
	if (message == NULL)
		message = fMessage;
	BLooper* looper = fTarget != NULL ? fTarget->Looper() : NULL;
	if (message == NULL || looper == NULL)
		return B_BAD_VALUE;
	return looper->PostMessage(message, fTarget);
}
