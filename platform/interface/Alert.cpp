/*
 * BAlert: its layout and its answer; its views are in AlertViews.cpp.
 */
#include <Alert.h>

#include <View.h>

#include <interface/alert_views.h>
#include <interface/window_looks.h>
#include <interface/window_surface.h>

#include <math.h>
#include <string.h>

#include <algorithm>
#include <new>


using namespace BPrivate;


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
