/*
 * BButton.
 */
#include <Button.h>

#include <InterfaceDefs.h>

#include <math.h>


namespace {

const rgb_color kLabelColor = {0, 0, 0, 255};
const rgb_color kFrameColor = {96, 96, 96, 255};

} // namespace


BButton::BButton(BRect frame, const char* name, const char* label,
		BMessage* message, uint32 resizingMode, uint32 flags)
	: BControl(frame, name, label, message, resizingMode, flags)
{
}


BButton::~BButton()
{
}


void
BButton::Draw(BRect updateRect)
{
	(void)updateRect;
	BRect bounds = Bounds();
	bool pressed = Value() == B_CONTROL_ON;
	bool enabled = IsEnabled();

	rgb_color face = pressed ? tint_color(ViewColor(), B_DARKEN_2_TINT)
							 : tint_color(ViewColor(), B_LIGHTEN_1_TINT);
	SetHighColor(face);
	FillRect(bounds);
	// A disabled button fades into its background.
	SetHighColor(
			enabled ? kFrameColor : tint_color(ViewColor(), B_DARKEN_2_TINT));
	StrokeRect(bounds);

	const char* label = Label();
	if (label == NULL)
		return;
	font_height height;
	GetFontHeight(&height);
	float x = floorf((bounds.Width() + 1 - StringWidth(label)) / 2);
	float y = floorf(
			(bounds.Height() + 1 + ceilf(height.ascent) - ceilf(height.descent))
			/ 2);
	SetHighColor(enabled ? kLabelColor : tint_color(face, B_DARKEN_3_TINT));
	SetLowColor(face);
	DrawString(label, BPoint(x, y));
}


void
BButton::MouseDown(BPoint where)
{
	(void)where;
	if (IsEnabled())
		SetValue(B_CONTROL_ON);
}


void
BButton::MouseUp(BPoint where)
{
	if (Value() != B_CONTROL_ON)
		return;
	SetValue(B_CONTROL_OFF);
	// A press that is released off the button is taken back.
	if (Bounds().Contains(where))
		Invoke();
}


void
BButton::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes == 1 && (bytes[0] == B_ENTER || bytes[0] == B_SPACE))
		Invoke();
}
