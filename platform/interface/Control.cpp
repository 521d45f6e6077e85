/*
 * BControl.
 */
#include <Control.h>

#include <Window.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>


BControl::BControl(BRect frame, const char* name, const char* label,
		BMessage* message, uint32 resizingMode, uint32 flags)
	: BView(frame, name, resizingMode, flags)
	, BInvoker(message, NULL)
	, fLabel(NULL)
	, fValue(B_CONTROL_OFF)
	, fEnabled(true)
{
	SetLabel(label);
}


BControl::~BControl()
{
	free(fLabel);
}


void
BControl::AttachedToWindow()
{
	if (Target() == NULL)
		SetTarget(Window());
	BView::AttachedToWindow();
}


void
BControl::SetLabel(const char* string)
{
	if (string == fLabel
			|| (string != NULL && fLabel != NULL
					&& strcmp(string, fLabel) == 0))
		return;
	char* copy = NULL;
	if (string != NULL && (copy = strdup(string)) == NULL) {
		fputs("BControl::SetLabel: out of memory\n", stderr);
		return;
	}
	free(fLabel);
	fLabel = copy;
	Invalidate();
}


const char*
BControl::Label() const
{
	return fLabel;
}


void
BControl::SetValue(int32 value)
{
	if (value == fValue)
		return;
	fValue = value;
	Invalidate();
}


int32
BControl::Value() const
{
	return fValue;
}


void
BControl::SetEnabled(bool enabled)
{
	if (enabled == fEnabled)
		return;
	fEnabled = enabled;
	Invalidate();
}


bool
BControl::IsEnabled() const
{
	return fEnabled;
}


status_t
BControl::Invoke(BMessage* message)
{
	if (!fEnabled)
		return B_NOT_ALLOWED;
	return BInvoker::Invoke(message);
}
