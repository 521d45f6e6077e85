/*
 * The status window of a tree. It keeps the strip's place, colours, border
 * and words, and adds the bar and the Stop button.
 */
#include "addon/sysProgressWindow.h"

#include "app/text_domain.h"

#include <Box.h>
#include <Button.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <StatusBar.h>
#include <StringView.h>

#include <new>


namespace {

// Dark text on light grey. Alpha 0 as the strip has always had it; the kit
// paints every colour opaque.
const rgb_color kTextColor = {10, 10, 10, 0};
const rgb_color kBackgroundColor = {217, 217, 217, 0};

// The window at the strip's place, wider and taller; the views in the
// box's coordinates, which are the window's moved by one pixel.
const BRect kFrame(100, 15, 499, 62);
const BRect kBoxFrame(-1, -1, 400, 48);
const BRect kLabelFrame(321, 4, 395, 14);
const BRect kBarFrame(6, 9, 310, 37);
const BRect kButtonFrame(321, 18, 395, 40);
const float kBarHeight = 13;

} // namespace


void
set_strip_colors(BView* view)
{
	view->SetHighColor(kTextColor);
	view->SetViewColor(kBackgroundColor);
	view->SetLowColor(kBackgroundColor);
}


sysProgressWindow::sysProgressWindow(std::shared_ptr<std::atomic<bool>> stop)
	: BWindow(kFrame, "TXW-Addon", B_MODAL_WINDOW, 0x20000002,
			B_CURRENT_WORKSPACE)
	, fStop(std::move(stop))
{
	SetLook(B_BORDERED_WINDOW_LOOK);

	BBox* box = new (std::nothrow) BBox(
			kBoxFrame, "backview", B_FOLLOW_NONE, B_WILL_DRAW, B_FANCY_BORDER);
	BStringView* label = new (std::nothrow) BStringView(
			kLabelFrame, "BSI", "Textwend-Addon", B_FOLLOW_NONE, B_WILL_DRAW);
	fBar = new (std::nothrow) BStatusBar(kBarFrame, "progress");
	fStopButton = new (std::nothrow) BButton(kButtonFrame, "stop", _("Stop"),
			new (std::nothrow) BMessage(kStopRun));
	if (box == NULL || label == NULL || fBar == NULL || fStopButton == NULL) {
		// Without memory for its views the window stays empty, and the
		// batch goes on.
		delete box;
		delete label;
		delete fBar;
		delete fStopButton;
		fBar = NULL;
		fStopButton = NULL;
		return;
	}
	set_strip_colors(box);
	set_strip_colors(label);
	set_strip_colors(fBar);
	set_strip_colors(fStopButton);
	label->SetFontSize(9);
	fBar->SetBarHeight(kBarHeight);
	fBar->SetMaxValue(0);
	fBar->SetText(_("counting…"));

	box->AddChild(label);
	box->AddChild(fBar);
	box->AddChild(fStopButton);
	AddChild(box);
	AddShortcut(
			B_ESCAPE, B_NO_COMMAND_KEY, new (std::nothrow) BMessage(kStopRun));
}


void
sysProgressWindow::MessageReceived(BMessage* message)
{
	if (message->what != kStopRun) {
		BWindow::MessageReceived(message);
		return;
	}
	// Once asked, the run ends after the file at hand; a second press has
	// nothing more to ask.
	fStop->store(true);
	if (fStopButton != NULL)
		fStopButton->SetEnabled(false);
}
