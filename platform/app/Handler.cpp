/*
 * BHandler.
 */
#include <Handler.h>

#include <Looper.h>

#include <stdlib.h>
#include <string.h>


BHandler::BHandler(const char* name)
	: fName(NULL)
	, fLooper(NULL)
	, fNextHandler(NULL)
{
	SetName(name);
}


BHandler::~BHandler()
{
	// A handler that is deleted while it still belongs to a looper leaves
	// it first, so that no message is delivered to it any more.
	BLooper* looper = fLooper;
	if (looper != NULL && LockLooper()) {
		looper->RemoveHandler(this);
		looper->Unlock();
	}
	free(fName);
}


void
BHandler::MessageReceived(BMessage* message)
{
	if (fNextHandler != NULL)
		fNextHandler->MessageReceived(message);
}


BLooper*
BHandler::Looper() const
{
	return fLooper;
}


void
BHandler::SetName(const char* name)
{
	free(fName);
	fName = name != NULL ? strdup(name) : NULL;
}


const char*
BHandler::Name() const
{
	return fName;
}


void
BHandler::SetNextHandler(BHandler* handler)
{
	fNextHandler = handler;
}


bool
BHandler::LockLooper()
{
	return LockLooperWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}


status_t
BHandler::LockLooperWithTimeout(bigtime_t timeout)
{
	BLooper* looper = fLooper;
	if (looper == NULL)
		return B_BAD_VALUE;

	status_t status = looper->LockWithTimeout(timeout);
	if (status != B_OK)
		return status;

	// The handler may have moved while the lock was awaited.
	if (fLooper != looper) {
		looper->Unlock();
		return B_MISMATCHED_VALUES;
	}
	return B_OK;
}


void
BHandler::_SetLooper(BLooper* looper)
{
	fLooper = looper;
}
