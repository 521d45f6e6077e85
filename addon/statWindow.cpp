/*
 * The status window: a borderless strip with the add-on's name at the right
 * and the name of the file at hand below it. It runs on its own thread from
 * Open() on; the batch changes it only under its lock.
 */
#include "addon/statWindow.h"

#include <Box.h>
#include <InterfaceDefs.h>
#include <StringView.h>
#include <Window.h>

#include <new>


namespace {

// Dark text on light grey. Alpha 0 as the window has always had it; the kit
// paints every colour opaque.
const rgb_color kTextColor = {10, 10, 10, 0};
const rgb_color kBackgroundColor = {217, 217, 217, 0};


void
set_colors(BView* view)
{
	view->SetHighColor(kTextColor);
	view->SetViewColor(kBackgroundColor);
	view->SetLowColor(kBackgroundColor);
}

} // namespace


void
statWindow::Open()
{
	fWindow = new (std::nothrow) BWindow(BRect(100, 15, 300, 39), "TXW-Addon",
			B_MODAL_WINDOW, 0x20000002, B_CURRENT_WORKSPACE);
	if (fWindow == NULL)
		return;
	fWindow->SetLook(B_BORDERED_WINDOW_LOOK);

	// One pixel past the window on every side, so that the box fills it.
	BBox* box = new (std::nothrow) BBox(BRect(-1, -1, 201, 25), "backview",
			B_FOLLOW_NONE, B_WILL_DRAW, B_FANCY_BORDER);
	fName = new (std::nothrow) BStringView(BRect(5, 12, 190, 24), "BSV",
			"TXW-Addon", B_FOLLOW_NONE, B_WILL_DRAW);
	BStringView* label = new (std::nothrow) BStringView(BRect(120, 4, 194, 14),
			"BSI", "Textwend-Addon", B_FOLLOW_NONE, B_WILL_DRAW);
	if (box == NULL || fName == NULL || label == NULL) {
		// Without memory for its views the strip stays empty, and the
		// batch goes on.
		delete box;
		delete fName;
		delete label;
		fName = NULL;
		fWindow->Show();
		return;
	}
	set_colors(box);
	set_colors(fName);
	set_colors(label);
	// The add-on's name whole in its view: it is 75 pixels wide, a pixel
	// short of the name in the plain 10-pixel face.
	label->SetFontSize(9);

	box->AddChild(label);
	box->AddChild(fName);
	fWindow->AddChild(box);
	fWindow->Show();
}


void
statWindow::ShowName(const char* name)
{
	if (fWindow == NULL || fName == NULL || !fWindow->Lock())
		return;
	fName->SetText(name);
	fWindow->Unlock();
}


void
statWindow::Close()
{
	if (fWindow == NULL || !fWindow->Lock())
		return;
	// Quit deletes the window and its views.
	fWindow->Quit();
	fWindow = NULL;
	fName = NULL;
}
