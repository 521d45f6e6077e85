/*
 * BAlert: its layout, its two kinds of views and its answer.
 */
#include <Alert.h>

#include <View.h>

#include <interface/utf8.h>
#include <interface/window_looks.h>
#include <interface/window_surface.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>


namespace {

// The alert's measures, in pixels.
const float kStripeWidth = 30;
const float kIconLeft = 14;
const float kIconSize = 32;
const float kMargin = 10;
const float kTextInset = 12;
const float kTextToButtons = 12;
const float kMinWidth = 310;
const float kMaxTextWidth = 420;
const float kTabWidth = 28;
const float kUsualButtonWidth = 75;
const float kButtonLabelInset = 10;
const float kButtonSpacing = 8;
const float kButtonPadding = 12;

const rgb_color kTextColor = {0, 0, 0, 255};
const rgb_color kButtonFrameColor = {96, 96, 96, 255};
const rgb_color kIconMarkColor = {255, 255, 255, 255};


// The icon of each type of alert: a disc with a mark in it.
struct AlertIcon {
	alert_type type;
	rgb_color color;
	bool exclamation;
};

const AlertIcon kIcons[] = {
		{B_INFO_ALERT, {56, 110, 200, 255}, false},
		{B_IDEA_ALERT, {220, 180, 30, 255}, false},
		{B_WARNING_ALERT, {235, 140, 20, 255}, true},
		{B_STOP_ALERT, {200, 40, 40, 255}, true},
};


} // namespace


namespace BPrivate {

// One word of the text, placed.
struct AlertPiece {
	int32 offset;
	int32 length;
	float x;
	int32 line;
};


// The alert's background: the stripe at its left with the icon, and the
// text. It holds the focus, so Enter comes here.
class AlertView : public BView {
public:
	AlertView(BAlert* alert)
		: BView(BRect(0, 0, 0, 0), "TextView", B_FOLLOW_ALL_SIDES, B_WILL_DRAW)
		, fAlert(alert)
		, fText("")
		, fTextLeft(kMargin)
		, fTextTop(kMargin)
		, fLineHeight(0)
		, fAscent(0)
		, fIcon(NULL)
	{
	}

	// Places the words of text, lines at most maxWidth wide; returns the
	// width and the height that they take.
	BRect LayOut(const char* text, float maxWidth);

	void
	SetPlacement(float textLeft, float textTop, const AlertIcon* icon)
	{
		fTextLeft = textLeft;
		fTextTop = textTop;
		fIcon = icon;
	}

	virtual void Draw(BRect updateRect);
	virtual void KeyDown(const char* bytes, int32 numBytes);

private:
	void _AddPiece(int32 offset, int32 length, float x, int32 line);
	void _DrawIcon();

	BAlert* fAlert;
	const char* fText;
	std::vector<AlertPiece> fPieces;
	float fTextLeft;
	float fTextTop;
	float fLineHeight;
	float fAscent;
	const AlertIcon* fIcon;
};


class AlertButton : public BView {
public:
	AlertButton(BAlert* alert, int32 index, const char* label, bool isDefault)
		: BView(BRect(0, 0, 0, 0), NULL, B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
				B_WILL_DRAW)
		, fAlert(alert)
		, fIndex(index)
		, fLabel(label)
		, fDefault(isDefault)
		, fPressed(false)
	{
		// Named as the platform names an alert's buttons.
		char name[16];
		snprintf(name, sizeof(name), "_b%d_", static_cast<int>(index));
		SetName(name);
	}

	virtual void Draw(BRect updateRect);
	virtual void MouseDown(BPoint where);
	virtual void MouseUp(BPoint where);

private:
	BAlert* fAlert;
	int32 fIndex;
	const char* fLabel;
	bool fDefault;
	bool fPressed;
};


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


BAlert::BAlert(const char* title, const char* text, const char* button1,
		const char* button2, const char* button3, button_width width,
		alert_type type)
	: BWindow(BRect(0, 0, kMinWidth - 1, 99), title, B_MODAL_WINDOW,
			B_NOT_CLOSABLE | B_NOT_RESIZABLE | B_ASYNCHRONOUS_CONTROLS)
	, fText(strdup(text != NULL ? text : ""))
	, fLabels {NULL, NULL, NULL}
	, fButtonCount(0)
	, fButtonWidth(width)
	, fAlertType(type)
	, fView(NULL)
	, fAnswered(false)
	, fAnswer(-1)
{
	const char* labels[kMaxButtons] = {button1, button2, button3};
	for (int32 i = 0; i < kMaxButtons && labels[i] != NULL; i++) {
		fLabels[i] = strdup(labels[i]);
		if (fLabels[i] == NULL)
			break;
		fButtonCount++;
	}

	if (fText == NULL || InitCheck() != B_OK) {
		fputs("BAlert: out of memory\n", stderr);
		return;
	}
	_Layout();
}


BAlert::~BAlert()
{
	free(fText);
	for (int32 i = 0; i < kMaxButtons; i++)
		free(fLabels[i]);
}


int32
BAlert::Go()
{
	int32 answer = -1;
	BPrivate::WindowSurface* surface = _Surface();
	if (surface == NULL || !surface->IsOnDisplay() || fView == NULL) {
		answer = BPrivate::terminal_alert(
				Title(), Text(), fLabels, fButtonCount);
	} else {
		Show();
		std::unique_lock<std::mutex> guard(fAnswerLock);
		fAnswerGiven.wait(guard, [this] { return fAnswered; });
		answer = fAnswer;
	}

	if (Lock())
		Quit();
	return answer;
}


const char*
BAlert::Text() const
{
	return fText != NULL ? fText : "";
}


void
BAlert::DispatchEvents()
{
	BWindow::DispatchEvents();

	// Nobody can answer an alert whose display went away.
	BPrivate::WindowSurface* surface = _Surface();
	if (surface != NULL && !surface->IsOnDisplay())
		_Answer(-1);
}


void
BAlert::_Layout()
{
	fView = new (std::nothrow) BPrivate::AlertView(this);
	if (fView == NULL)
		return;
	fView->SetViewColor(BPrivate::kPanelColor);
	AddChild(fView);
	fView->MakeFocus();

	const AlertIcon* icon = NULL;
	for (const AlertIcon& candidate : kIcons) {
		if (candidate.type == fAlertType)
			icon = &candidate;
	}
	float textLeft = (icon != NULL ? kIconLeft + kIconSize : 0) + kTextInset;
	BRect text = fView->LayOut(fText, kMaxTextWidth);
	float textHeight = std::max(text.Height(), icon != NULL ? kIconSize : 0);

	font_height height;
	fView->GetFontHeight(&height);
	float buttonHeight = ceilf(height.ascent + height.descent + height.leading)
			+ kButtonPadding;

	float labelWidths[kMaxButtons] = {0, 0, 0};
	float widest = 0;
	for (int32 i = 0; i < fButtonCount; i++) {
		labelWidths[i]
				= ceilf(fView->StringWidth(fLabels[i])) + 2 * kButtonLabelInset;
		widest = std::max(widest, labelWidths[i]);
	}
	float buttonWidths[kMaxButtons] = {0, 0, 0};
	float buttonsWidth = 0;
	for (int32 i = 0; i < fButtonCount; i++) {
		switch (fButtonWidth) {
		case B_WIDTH_FROM_WIDEST:
			buttonWidths[i] = std::max(widest, kUsualButtonWidth);
			break;
		case B_WIDTH_FROM_LABEL:
			buttonWidths[i] = labelWidths[i];
			break;
		case B_WIDTH_AS_USUAL:
		default:
			buttonWidths[i] = std::max(labelWidths[i], kUsualButtonWidth);
			break;
		}
		buttonsWidth += buttonWidths[i] + (i > 0 ? kButtonSpacing : 0);
	}

	float width = std::max(kMinWidth,
			textLeft + std::max(text.Width(), buttonsWidth) + kMargin);
	float buttonsTop = kMargin + textHeight + kTextToButtons;
	float windowHeight = buttonsTop + buttonHeight + kMargin;

	// Centred across the screen, in its upper third.
	BRect screen = _Surface()->ScreenFrame();
	float left = floorf(screen.left + (screen.Width() + 1 - width) / 2);
	float top = floorf(screen.top + (screen.Height() + 1 - windowHeight) / 3);
	MoveTo(std::max(left, screen.left), std::max(top, screen.top));
	ResizeTo(width - 1, windowHeight - 1);

	fView->ResizeTo(width - 1, windowHeight - 1);
	fView->SetPlacement(textLeft, kMargin, icon);

	// The buttons stand at the right, the last (the default) rightmost.
	float lefts[kMaxButtons] = {0, 0, 0};
	float right = width - kMargin;
	for (int32 i = fButtonCount - 1; i >= 0; i--) {
		lefts[i] = right - buttonWidths[i];
		right = lefts[i] - kButtonSpacing;
	}
	for (int32 i = 0; i < fButtonCount; i++) {
		BPrivate::AlertButton* button
				= new (std::nothrow) BPrivate::AlertButton(
						this, i, fLabels[i], i == fButtonCount - 1);
		if (button == NULL)
			continue;
		button->SetViewColor(BPrivate::kPanelColor);
		fView->AddChild(button);
		button->MoveTo(lefts[i], buttonsTop);
		button->ResizeTo(buttonWidths[i] - 1, buttonHeight - 1);
	}
}


void
BAlert::_Answer(int32 index)
{
	std::lock_guard<std::mutex> guard(fAnswerLock);
	if (fAnswered)
		return;
	fAnswered = true;
	fAnswer = index;
	fAnswerGiven.notify_all();
}
