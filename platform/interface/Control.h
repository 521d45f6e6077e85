/*
 * BControl: a view that the user works with, holding a label, a value and
 * the message it sends when it is invoked (BInvoker). Unless told
 * otherwise it sends the message to its window. A disabled control takes
 * no clicks and no keys.
 */
#ifndef _CONTROL_H
#define _CONTROL_H

#include <Invoker.h>
#include <View.h>

enum { B_CONTROL_OFF = 0, B_CONTROL_ON = 1 };

class BControl : public BView, public BInvoker {
public:
	// Takes the message, which may be NULL.
	BControl(BRect frame, const char* name, const char* label,
			BMessage* message, uint32 resizingMode, uint32 flags);
	virtual ~BControl();

	virtual void AttachedToWindow();

	// Copies the label and draws the control again when it differs.
	virtual void SetLabel(const char* string);
	const char* Label() const;

	virtual void SetValue(int32 value);
	int32 Value() const;

	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const;

	// Sends the message, unless the control is disabled (B_NOT_ALLOWED).
	virtual status_t Invoke(BMessage* message = NULL);

private:
	char* fLabel;
	int32 fValue;
	bool fEnabled;
};

#endif // _CONTROL_H
