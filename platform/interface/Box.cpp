/*
 * BBox.
 */
#include <Box.h>


BBox::BBox(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
		border_style border)
	: BView(frame, name, resizingMode, flags)
	, fBorder(border)
{
}


BBox::~BBox()
{
}


border_style
BBox::Border() const
{
	return fBorder;
}


void
BBox::Draw(BRect updateRect)
{
	(void)updateRect;

	BRect rect = Bounds();
	rgb_color base = ViewColor();
	rgb_color light = tint_color(base, B_LIGHTEN_MAX_TINT);
	rgb_color shadow = tint_color(base, B_DARKEN_3_TINT);
	rgb_color high = HighColor();

	switch (fBorder) {
	case B_PLAIN_BORDER:
		SetHighColor(light);
		StrokeLine(rect.LeftBottom(), rect.LeftTop());
		StrokeLine(rect.LeftTop(), rect.RightTop());
		SetHighColor(shadow);
		StrokeLine(BPoint(rect.left + 1, rect.bottom), rect.RightBottom());
		StrokeLine(rect.RightBottom(), BPoint(rect.right, rect.top + 1));
		break;

	case B_FANCY_BORDER:
		// An engraved groove: shadow outside at the left and top, light
		// inside; light outside at the right and bottom, shadow inside.
		SetHighColor(shadow);
		StrokeLine(rect.LeftBottom(), rect.LeftTop());
		StrokeLine(rect.LeftTop(), rect.RightTop());
		StrokeLine(BPoint(rect.left + 1, rect.bottom - 1),
				BPoint(rect.right - 1, rect.bottom - 1));
		StrokeLine(BPoint(rect.right - 1, rect.bottom - 2),
				BPoint(rect.right - 1, rect.top + 1));
		SetHighColor(light);
		StrokeLine(BPoint(rect.left + 1, rect.bottom - 2),
				BPoint(rect.left + 1, rect.top + 1));
		StrokeLine(BPoint(rect.left + 2, rect.top + 1),
				BPoint(rect.right - 2, rect.top + 1));
		StrokeLine(BPoint(rect.left + 1, rect.bottom), rect.RightBottom());
		StrokeLine(BPoint(rect.right, rect.bottom - 1), rect.RightTop());
		break;

	case B_NO_BORDER:
		break;
	}

	SetHighColor(high);
}
