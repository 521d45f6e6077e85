/*
 * An alert's views: its text laid out in lines beside the icon, and its
 * buttons.
 */
#include <interface/alert_views.h>

#include <interface/utf8.h>

#include <math.h>
#include <string.h>

#include <algorithm>


namespace BPrivate {

BRect
AlertView::LayOut(const char* text, float maxWidth)
{
	fText = text;
	fPieces.clear();

	font_height height;
	GetFontHeight(&height);
	fAscent = ceilf(height.ascent);
	fLineHeight = ceilf(height.ascent + height.descent + height.leading);

	// Words are placed one after the other; a tab moves to the next stop,
	// a line break and a word that would pass maxWidth start a new line.
	// A word wider than a whole line is cut between its characters.
	int32 line = 0;
	float x = 0;
	float widest = 0;
	int32 length = static_cast<int32>(strlen(text));
	int32 i = 0;
	while (i < length) {
		char c = text[i];
		if (c == '\n') {
			line++;
			x = 0;
			i++;
			continue;
		}
		if (c == '\t') {
			x = (floorf(x / kTabWidth) + 1) * kTabWidth;
			i++;
			continue;
		}
		if (c == ' ') {
			x += StringWidth(" ", 1);
			i++;
			continue;
		}

		int32 end = i;
		while (end < length && text[end] != ' ' && text[end] != '\t'
				&& text[end] != '\n')
			end++;
		float width = StringWidth(text + i, end - i);
		if (x > 0 && x + width > maxWidth) {
			line++;
			x = 0;
		}
		while (width > maxWidth && end - i > 1) {
			// As many characters as fit, at least one.
			char32_t character;
			int32 cut = i + next_character(text + i, end - i, &character);
			while (cut < end) {
				int32 next = cut
						+ next_character(text + cut, end - cut, &character);
				if (StringWidth(text + i, next - i) > maxWidth)
					break;
				cut = next;
			}
			_AddPiece(i, cut - i, x, line);
			widest = std::max(widest, x + StringWidth(text + i, cut - i));
			line++;
			x = 0;
			i = cut;
			width = StringWidth(text + i, end - i);
		}
		_AddPiece(i, end - i, x, line);
		x += width;
		widest = std::max(widest, x);
		i = end;
	}

	return BRect(0, 0, ceilf(widest), (line + 1) * fLineHeight);
}


void
AlertView::_AddPiece(int32 offset, int32 length, float x, int32 line)
{
	try {
		fPieces.push_back(AlertPiece {offset, length, x, line});
	} catch (const std::bad_alloc&) {
		// The alert shows less of its text, and still answers.
	}
}


void
AlertView::Draw(BRect updateRect)
{
	(void)updateRect;
	BRect bounds = Bounds();

	if (fIcon != NULL) {
		SetHighColor(tint_color(ViewColor(), B_DARKEN_1_TINT));
		FillRect(BRect(0, 0, kStripeWidth - 1, bounds.bottom));
		_DrawIcon();
	}

	SetHighColor(kTextColor);
	SetLowColor(ViewColor());
	for (const AlertPiece& piece : fPieces) {
		DrawString(fText + piece.offset, piece.length,
				BPoint(fTextLeft + piece.x,
						fTextTop + piece.line * fLineHeight + fAscent));
	}
}


void
AlertView::_DrawIcon()
{
	// The disc, one row at a time.
	float radius = kIconSize / 2;
	float centerX = kIconLeft + radius;
	SetHighColor(fIcon->color);
	for (int32 row = 0; row < kIconSize; row++) {
		float dy = row + 0.5f - radius;
		float half = roundf(sqrtf(radius * radius - dy * dy));
		FillRect(BRect(centerX - half, kMargin + row, centerX + half - 1,
				kMargin + row));
	}

	// An "i" or an "!", drawn as two bars.
	float top = kMargin;
	BRect dot;
	BRect bar;
	if (fIcon->exclamation) {
		bar = BRect(centerX - 2, top + 6, centerX + 1, top + 19);
		dot = BRect(centerX - 2, top + 22, centerX + 1, top + 25);
	} else {
		dot = BRect(centerX - 2, top + 6, centerX + 1, top + 9);
		bar = BRect(centerX - 2, top + 12, centerX + 1, top + 25);
	}
	SetHighColor(kIconMarkColor);
	FillRect(dot);
	FillRect(bar);
}


void
AlertView::KeyDown(const char* bytes, int32 numBytes)
{
	// Enter and Escape press the default button, the last one.
	if (numBytes == 1 && (bytes[0] == B_ENTER || bytes[0] == B_ESCAPE))
		fAlert->_Answer(fAlert->fButtonCount - 1);
}


void
AlertButton::Draw(BRect updateRect)
{
	(void)updateRect;
	BRect bounds = Bounds();

	rgb_color face = fPressed ? tint_color(ViewColor(), B_DARKEN_2_TINT)
							  : tint_color(ViewColor(), B_LIGHTEN_1_TINT);
	SetHighColor(face);
	FillRect(bounds);

	SetHighColor(kButtonFrameColor);
	StrokeRect(bounds);
	if (fDefault)
		StrokeRect(bounds.InsetByCopy(1, 1));

	font_height height;
	GetFontHeight(&height);
	float x = floorf((bounds.Width() + 1 - StringWidth(fLabel)) / 2);
	float y = floorf(
			(bounds.Height() + 1 + ceilf(height.ascent) - ceilf(height.descent))
			/ 2);
	SetHighColor(kTextColor);
	SetLowColor(face);
	DrawString(fLabel, BPoint(x, y));
}


void
AlertButton::MouseDown(BPoint where)
{
	(void)where;
	fPressed = true;
	Invalidate();
}


void
AlertButton::MouseUp(BPoint where)
{
	if (!fPressed)
		return;
	fPressed = false;
	Invalidate();
	// A press that is released off the button is taken back.
	if (Bounds().Contains(where))
		fAlert->_Answer(fIndex);
}

} // namespace BPrivate
