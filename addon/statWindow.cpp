/*
 * The status window: a borderless strip with the add-on's name at the right
 * and the name of the file at hand below it. It runs on its own thread from
 * Open() on; the batch changes it only under its lock.
 *
 * Both windows are drawn at most four times a second. A name that comes
 * when the window was last drawn longer ago is shown at once; one that
 * comes sooner is noted, and a thread of the holder's own, which wakes
 * four times a second, draws what was noted last: a batch of small files
 * does not wait for the window to draw each of them, and a file that takes
 * long is shown while it is converted, not only when the next one comes.
 */
#include "addon/statWindow.h"

#include "addon/sysProgressWindow.h"
#include "app/numbers.h"
#include "app/text_domain.h"

#include <Box.h>
#include <InterfaceDefs.h>
#include <StatusBar.h>
#include <StringView.h>
#include <Window.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>


namespace {

// How often the window of a tree is drawn at most.
const std::chrono::milliseconds kDrawInterval(250);

} // namespace


// What the batch noted last, for the thread that draws it.
struct statWindow::progress {
	std::mutex lock;
	std::condition_variable wake;
	bool closing = false;
	bool changed = false;
	bool counting = true;
	uint64_t found = 0;
	uint64_t done = 0;
	uint64_t total = 0;
	std::string name;
	// When the strip of a selection was last drawn.
	std::chrono::steady_clock::time_point drawn;
};


statWindow::statWindow()
{
}


statWindow::~statWindow()
{
	Close();
}


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
	set_strip_colors(box);
	set_strip_colors(fName);
	set_strip_colors(label);
	// The add-on's name whole in its view: it is 75 pixels wide, a pixel
	// short of the name in the plain 10-pixel face.
	label->SetFontSize(9);

	box->AddChild(label);
	box->AddChild(fName);
	fWindow->AddChild(box);
	fWindow->Show();
	_StartPump();
}


void
statWindow::ShowName(const char* name)
{
	if (fProgress != NULL) {
		std::unique_lock<std::mutex> guard(fProgress->lock);
		auto now = std::chrono::steady_clock::now();
		if (now - fProgress->drawn < kDrawInterval) {
			// Drawn a moment ago: the thread draws it in its turn.
			try {
				fProgress->name = name != NULL ? name : "";
				fProgress->changed = true;
				return;
			} catch (const std::bad_alloc&) {
			}
		}
		fProgress->drawn = now;
		fProgress->changed = false;
	}
	_SetName(name);
}


void
statWindow::_SetName(const char* name)
{
	if (fWindow == NULL || fName == NULL || !fWindow->Lock())
		return;
	fName->SetText(name);
	fWindow->Unlock();
}


void
statWindow::_StartPump()
{
	try {
		if (fProgress == NULL)
			fProgress = std::make_unique<progress>();
		fPump = std::thread(&statWindow::_Pump, this);
	} catch (const std::bad_alloc&) {
		// Without memory, or without its thread, the strip draws each name
		// as it comes; the window of a tree shows "counting…" to the end,
		// and Stop still works.
		if (!fPump.joinable() && fTreeWindow == NULL)
			fProgress.reset();
	} catch (const std::system_error&) {
		if (fTreeWindow == NULL)
			fProgress.reset();
	}
}


void
statWindow::OpenForTree()
{
	if (fWindow != NULL)
		return;
	try {
		fStop = std::make_shared<std::atomic<bool>>(false);
		fProgress = std::make_unique<progress>();
	} catch (const std::bad_alloc&) {
		fStop.reset();
		return;
	}
	fTreeWindow = new (std::nothrow) sysProgressWindow(fStop);
	if (fTreeWindow == NULL) {
		fProgress.reset();
		return;
	}
	fWindow = fTreeWindow;
	fWindow->Show();
	_StartPump();
}


void
statWindow::ShowCounting(uint64_t found)
{
	if (fProgress == NULL)
		return;
	std::lock_guard<std::mutex> guard(fProgress->lock);
	fProgress->counting = true;
	fProgress->found = found;
	fProgress->changed = true;
}


void
statWindow::ShowProgress(uint64_t done, uint64_t total, const char* name)
{
	if (fTreeWindow == NULL) {
		// The strip of a selection shows the name alone.
		ShowName(name);
		return;
	}
	if (fProgress == NULL)
		return;
	std::lock_guard<std::mutex> guard(fProgress->lock);
	fProgress->counting = false;
	fProgress->done = done;
	fProgress->total = total;
	try {
		fProgress->name = name != NULL ? name : "";
	} catch (const std::bad_alloc&) {
		fProgress->name.clear();
	}
	fProgress->changed = true;
}


bool
statWindow::StopRequested() const
{
	return fStop != NULL && fStop->load(std::memory_order_relaxed);
}


void
statWindow::Close()
{
	if (fPump.joinable()) {
		{
			std::lock_guard<std::mutex> guard(fProgress->lock);
			fProgress->closing = true;
		}
		fProgress->wake.notify_all();
		fPump.join();
	}
	// What was noted last is shown before the window goes: on standard
	// error it is the run's last word on its progress.
	if (fProgress != NULL)
		_Draw();

	if (fWindow == NULL || !fWindow->Lock())
		return;
	// Quit deletes the window and its views.
	fWindow->Quit();
	fWindow = NULL;
	fName = NULL;
	fTreeWindow = NULL;
	fProgress.reset();
}


void
statWindow::_Pump()
{
	std::unique_lock<std::mutex> guard(fProgress->lock);
	while (!fProgress->closing) {
		fProgress->wake.wait_for(
				guard, kDrawInterval, [this] { return fProgress->closing; });
		if (fProgress->closing)
			break;
		guard.unlock();
		_Draw();
		guard.lock();
	}
}


void
statWindow::_Draw()
{
	if (fTreeWindow == NULL) {
		std::string name;
		{
			std::lock_guard<std::mutex> guard(fProgress->lock);
			if (!fProgress->changed)
				return;
			fProgress->changed = false;
			fProgress->drawn = std::chrono::steady_clock::now();
			try {
				name = fProgress->name;
			} catch (const std::bad_alloc&) {
				return;
			}
		}
		_SetName(name.c_str());
		return;
	}

	bool counting;
	uint64_t found;
	uint64_t done;
	uint64_t total;
	std::string name;
	{
		std::lock_guard<std::mutex> guard(fProgress->lock);
		if (!fProgress->changed)
			return;
		fProgress->changed = false;
		counting = fProgress->counting;
		found = fProgress->found;
		done = fProgress->done;
		// A tree that grew since it was counted: the bar stays full.
		total = std::max(fProgress->total, done);
		try {
			name = fProgress->name;
		} catch (const std::bad_alloc&) {
		}
	}

	std::string text;
	try {
		if (counting) {
			text = filled(P_("counting… %s file", "counting… %s files", found),
					{grouped(found)});
		} else {
			text = filled(P_("%s of %s file", "%s of %s files", total),
					{grouped(done), grouped(total)});
		}
	} catch (const std::bad_alloc&) {
		return;
	}

	if (fTreeWindow == NULL || !fTreeWindow->Lock())
		return;
	BStatusBar* bar = fTreeWindow->Bar();
	if (bar != NULL) {
		// A bar without a maximum moves its block with each new count.
		bar->SetMaxValue(counting ? 0 : static_cast<float>(total));
		bar->SetTo(static_cast<float>(counting ? found : done), text.c_str(),
				counting ? "" : name.c_str());
	}
	fTreeWindow->Unlock();
}
