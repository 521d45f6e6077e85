/*
 * BApplication: the application object, a looper whose loop runs on the
 * thread that calls Run(). One exists per process; be_app designates it.
 */
#ifndef _APPLICATION_H
#define _APPLICATION_H

#include <AppDefs.h>
#include <Looper.h>
#include <Message.h>

class BWindow;

class BApplication : public BLooper {
public:
	// The signature is a MIME type of the "application" supertype. A
	// construction that fails leaves be_app as it was; InitCheck() says why.
	BApplication(const char* signature);
	BApplication(const char* signature, status_t* error);
	virtual ~BApplication();

	status_t InitCheck() const;

	// Runs the message loop on the calling thread and returns once a quit
	// request was handled and QuitRequested() agreed, or Quit() was called.
	// B_READY_TO_RUN, posted by the constructor, comes first.
	virtual thread_id Run();
	// Ends the loop; unlike a looper's, it does not delete the object.
	virtual void Quit();
	virtual bool QuitRequested();
	virtual void ReadyToRun();

	virtual void DispatchMessage(BMessage* message, BHandler* handler);
	virtual void MessageReceived(BMessage* message);

	const char* Signature() const;

	// The windows of the process, in the order they were made.
	int32 CountWindows() const;
	BWindow* WindowAt(int32 index) const;

private:
	void _InitData(const char* signature, status_t* error);

	status_t fInitError;
	char* fSignature;
	bool fReadyToRunCalled;
};

extern BApplication* be_app;

#endif // _APPLICATION_H
