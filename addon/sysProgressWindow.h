/*
 * The status window of a tree: wider than the strip of a selection, with a
 * bar that shows how far the run has got, the file at hand beside the
 * count, and a Stop button. Escape stops as the button does. Stopping only
 * raises a flag that the batch asks after each file.
 */
#ifndef ADDON_SYSPROGRESSWINDOW_H
#define ADDON_SYSPROGRESSWINDOW_H

#include <Window.h>

#include <atomic>
#include <memory>

class BButton;
class BStatusBar;

// Gives view the strip's colours, which both status windows have: dark text
// on light grey.
void set_strip_colors(BView* view);

// What the Stop button and Escape send to the window.
const uint32 kStopRun = 'stop';

class sysProgressWindow : public BWindow {
public:
	// Builds the window and its views, hidden; stop is raised when the
	// person asks for the run to stop.
	explicit sysProgressWindow(std::shared_ptr<std::atomic<bool>> stop);

	// The bar, for a thread that holds the window's lock; NULL without
	// memory for it.
	BStatusBar*
	Bar() const
	{
		return fBar;
	}

	virtual void MessageReceived(BMessage* message);

private:
	std::shared_ptr<std::atomic<bool>> fStop;
	BStatusBar* fBar = nullptr;
	BButton* fStopButton = nullptr;
};

#endif // ADDON_SYSPROGRESSWINDOW_H
