/*
 * BApplication and be_app.
 */
#include <Application.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>


BApplication* be_app = NULL;


namespace {

const char kApplicationSupertype[] = "application/";
// The platform's B_MIME_TYPE_LENGTH: a signature is shorter than this.
const size_t kSignatureLength = 240;


bool
is_token_character(char c)
{
	unsigned char value = static_cast<unsigned char>(c);
	return value > 0x20 && value < 0x7F
			&& strchr("()<>@,;:\\\"/[]?=", c) == NULL;
}


// A signature names a type of the "application" supertype, such as
// "application/x-vnd.Maker-Name".
status_t
check_app_signature(const char* signature)
{
	if (signature == NULL)
		return B_BAD_VALUE;

	size_t length = strlen(signature);
	size_t prefixLength = sizeof(kApplicationSupertype) - 1;
	bool valid = length > prefixLength && length < kSignatureLength
			&& strncasecmp(signature, kApplicationSupertype, prefixLength) == 0;
	for (size_t i = prefixLength; valid && i < length; i++)
		valid = is_token_character(signature[i]);
	if (valid)
		return B_OK;

	fprintf(stderr, "BApplication: bad signature \"%s\": no application type\n",
			signature);
	return B_BAD_VALUE;
}

} // namespace


BApplication::BApplication(const char* signature)
	: BLooper(signature)
{
	_InitData(signature, NULL);
}


BApplication::BApplication(const char* signature, status_t* error)
	: BLooper(signature)
{
	_InitData(signature, error);
}


BApplication::~BApplication()
{
	if (be_app == this)
		be_app = NULL;
	free(fSignature);
}


status_t
BApplication::InitCheck() const
{
	return fInitError;
}


thread_id
BApplication::Run()
{
	if (fInitError != B_OK)
		return fInitError;
	if (fRunCalled) {
		fprintf(stderr, "BApplication::Run: the loop runs only once\n");
		return B_NOT_ALLOWED;
	}

	// The loop hands the lock to other threads between messages, whatever
	// the caller's nesting; the caller gets its locks back afterwards.
	if (!IsLocked() && !Lock())
		return B_ERROR;
	int32 locks = CountLocks();
	while (CountLocks() > 1)
		Unlock();

	fRunCalled = true;
	fThread = find_thread(NULL);
	_Loop();

	while (CountLocks() < locks)
		Lock();
	return fThread;
}


void
BApplication::Quit()
{
	bool locked = IsLocked();
	if (!locked) {
		fputs("BApplication::Quit: lock the application first\n", stderr);
		if (!Lock())
			return;
	}

	if (fRunCalled && find_thread(NULL) != fThread) {
		_EndLoop();
	} else {
		// On the loop's thread, or before Run(): Run() returns when the
		// message at hand is done, or at once.
		fTerminating = true;
	}

	if (!locked)
		Unlock();
}


bool
BApplication::QuitRequested()
{
	return true;
}


void
BApplication::ReadyToRun()
{
}


void
BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == B_READY_TO_RUN && handler == this) {
		if (!fReadyToRunCalled) {
			fReadyToRunCalled = true;
			ReadyToRun();
		}
		return;
	}
	BLooper::DispatchMessage(message, handler);
}


void
BApplication::MessageReceived(BMessage* message)
{
	BLooper::MessageReceived(message);
}


const char*
BApplication::Signature() const
{
	return fSignature;
}


void
BApplication::_InitData(const char* signature, status_t* error)
{
	fSignature = NULL;
	fReadyToRunCalled = false;

	fInitError = BLooper::fInitStatus;
	if (fInitError == B_OK)
		fInitError = check_app_signature(signature);
	if (fInitError == B_OK && be_app != NULL) {
		fputs("BApplication: only one application object may exist\n", stderr);
		fInitError = B_NOT_ALLOWED;
	}
	if (fInitError == B_OK) {
		fSignature = strdup(signature);
		if (fSignature == NULL)
			fInitError = B_NO_MEMORY;
	}
	if (fInitError == B_OK)
		fInitError = PostMessage(B_READY_TO_RUN);
	if (fInitError == B_OK)
		be_app = this;

	if (error != NULL)
		*error = fInitError;
}
