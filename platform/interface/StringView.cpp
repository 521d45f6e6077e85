/*
 * BStringView.
 */
#include <StringView.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


BStringView::BStringView(BRect frame, const char* name, const char* text,
		uint32 resizingMode, uint32 flags)
	: BView(frame, name, resizingMode, flags)
	, fText(NULL)
	, fAlign(B_ALIGN_LEFT)
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
BStringView::SetAlignment(alignment flag)
{
	if (flag == fAlign)
		return;
	fAlign = flag;
	Invalidate();
}


alignment
BStringView::Alignment() const
{
	return fAlign;
}


void
BStringView::Draw(BRect updateRect)
{
	(void)updateRect;
	if (fText == NULL)
		return;

	BRect bounds = Bounds();
	float width = StringWidth(fText);
	float x = 0;
	if (fAlign == B_ALIGN_RIGHT)
		x = bounds.Width() - width;
	else if (fAlign == B_ALIGN_CENTER)
		x = floorf((bounds.Width() - width) / 2);

	// The line sits in the middle of the view's height, half a pixel
	// lower rather than higher.
	font_height height;
	GetFontHeight(&height);
	float y = ceilf((bounds.top + bounds.bottom + ceilf(height.ascent)
							- ceilf(height.descent))
			/ 2);
	DrawString(fText, BPoint(x, y));
}
