/*
 * BAlert: a modal window with a text and up to three buttons. Go() shows
 * it, waits until a button is pressed and deletes it. The last button is
 * the default one that Enter presses.
 *
 * Without a display the alert is written to standard error and waits for
 * Enter on the controlling terminal; without a terminal either, its last
 * button answers it at once.
 */
#ifndef _ALERT_H
#define _ALERT_H

#include <Window.h>

#include <condition_variable>
#include <mutex>

namespace BPrivate {
class AlertView;
class AlertButton;
} // namespace BPrivate

enum alert_type {
	B_EMPTY_ALERT = 0,
	B_INFO_ALERT,
	B_IDEA_ALERT,
	B_WARNING_ALERT,
	B_STOP_ALERT
};

enum button_width { B_WIDTH_AS_USUAL, B_WIDTH_FROM_WIDEST, B_WIDTH_FROM_LABEL };

class BAlert : public BWindow {
public:
	// The buttons are the labels up to the first NULL. Line breaks and
	// tabs in the text are kept; longer lines wrap.
	BAlert(const char* title, const char* text, const char* button1,
			const char* button2 = NULL, const char* button3 = NULL,
			button_width width = B_WIDTH_AS_USUAL,
			alert_type type = B_INFO_ALERT);
	virtual ~BAlert();

	// Blocks until the alert is answered, deletes it and returns the index
	// of the button that answered it, or -1 when it closed without one
	// (it has no button, or its display went away).
	int32 Go();

	const char* Text() const;

protected:
	virtual void DispatchEvents();

private:
	friend class BPrivate::AlertView;
	friend class BPrivate::AlertButton;

	void _Layout();
	// On the window's thread; the first answer counts.
	void _Answer(int32 index);

	static const int32 kMaxButtons = 3;

	char* fText;
	char* fLabels[kMaxButtons];
	int32 fButtonCount;
	button_width fButtonWidth;
	alert_type fAlertType;
	BPrivate::AlertView* fView;

	std::mutex fAnswerLock;
	std::condition_variable fAnswerGiven;
	bool fAnswered;
	int32 fAnswer;
};

#endif // _ALERT_H
