/*
 * BButton: a control with a label in a raised frame. A click that is
 * released on the button invokes it; while the mouse button is down the
 * button looks pressed and its value is B_CONTROL_ON. Focused, Enter and
 * the space bar invoke it too.
 */
#ifndef _BUTTON_H
#define _BUTTON_H

#include <Control.h>

class BButton : public BControl {
public:
	// Takes the message, which may be NULL.
	BButton(BRect frame, const char* name, const char* label, BMessage* message,
			uint32 resizingMode = B_FOLLOW_LEFT_TOP,
			uint32 flags = B_WILL_DRAW | B_NAVIGABLE | B_FULL_UPDATE_ON_RESIZE);
	virtual ~BButton();

	virtual void Draw(BRect updateRect);
	virtual void MouseDown(BPoint where);
	virtual void MouseUp(BPoint where);
	virtual void KeyDown(const char* bytes, int32 numBytes);
};

#endif // _BUTTON_H
