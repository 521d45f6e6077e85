/*
 * BStringView.
 */
#include <StringView.h>

#include <interface/utf8.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


BStringView::BStringView(BRect frame, const char* name, const char* text,
		uint32 resizingMode, uint32 flags)
	: BView(frame, name, resizingMode, flags)
	, fText(NULL)
{
	SetText(text);
}


BStringView::~BStringView()
{
	free(fText);
}


void
BStringView::SetText(const char* text)
{
	if (text == fText)
		return;
	if (text != NULL && fText != NULL && strcmp(text, fText) == 0)
		return;

	char* copy = NULL;
	if (text != NULL) {
		copy = strdup(text);
		if (copy == NULL) {
			fputs("BStringView::SetText: out of memory\n", stderr);
			return;
		}
	}
	free(fText);
	fText = copy;
	Invalidate();
}


const char*
BStringView::Text() const
{
	return fText;
}


void
BStringView::Draw(BRect updateRect)
{
	(void)updateRect;
	if (fText == NULL)
		return;

	// The line sits in the middle of the view's height, half a pixel
	// lower rather than higher.
	BRect bounds = Bounds();
	font_height height;
	GetFontHeight(&height);
	float y = ceilf((bounds.top + bounds.bottom + ceilf(height.ascent)
							- ceilf(height.descent))
			/ 2);

	// A text wider than the view ends in an ellipsis after the characters
	// that fit; the text itself stays as it was set.
	int32 length = static_cast<int32>(strlen(fText));
	float room = bounds.Width() + 1;
	if (StringWidth(fText, length) <= room) {
		DrawString(fText, length, BPoint(0, y));
		return;
	}
	const char* kEllipsis = "\xE2\x80\xA6";
	room -= StringWidth(kEllipsis);
	int32 fits = 0;
	char32_t character;
	while (fits < length) {
		int32 next = fits
				+ BPrivate::next_character(
						fText + fits, length - fits, &character);
		if (StringWidth(fText, next) > room)
			break;
		fits = next;
	}
	DrawString(fText, fits, BPoint(0, y));
	DrawString(kEllipsis, BPoint(StringWidth(fText, fits), y));
}
