/*
 * The status window of a batch: a small strip near the top left corner of
 * the screen with the add-on's name and the leaf name of the file at hand.
 * For a tree, a wider window in the same place shows how far the run has
 * got, with a Stop button.
 */
#ifndef ADDON_STATWINDOW_H
#define ADDON_STATWINDOW_H

#include <stdint.h>

#include <atomic>
#include <memory>
#include <thread>

class BStringView;
class BWindow;
class sysProgressWindow;

class statWindow {
public:
	statWindow();
	// Closes the window if Close() has not.
	~statWindow();

	statWindow(const statWindow&) = delete;
	statWindow& operator=(const statWindow&) = delete;

	// The strip of a selection. The name is shown at once where the strip
	// was last drawn a quarter of a second ago or longer, else within a
	// quarter of a second, unless another comes first.
	void Open();
	void ShowName(const char* name);

	// The window of a tree: "counting…" and a bar that knows no end while
	// a first walk counts the files, then "1,234 of 5,000 files" with the
	// bar and the file at hand. These calls only note what they are told,
	// at the cost of a copy of the name; what was noted last is drawn at
	// most four times a second, on a thread of the window's own.
	void OpenForTree();
	void ShowCounting(uint64_t found);
	// done files of total are converted, and name (a path below the tree,
	// say) is the one at hand. The strip of a selection shows the name
	// alone, as ShowName() does.
	void ShowProgress(uint64_t done, uint64_t total, const char* name);

	// True once the person has pressed Stop or Escape in the window of a
	// tree; the run ends after the file at hand. Safe on any thread.
	bool StopRequested() const;

	void Close();

private:
	struct progress;

	void _StartPump();
	void _Pump();
	// Draws what was noted last, if anything changed since.
	void _Draw();
	void _SetName(const char* name);

	// Both belong to the window kit once shown; nothing is deleted here.
	BWindow* fWindow = nullptr;
	BStringView* fName = nullptr;
	sysProgressWindow* fTreeWindow = nullptr;
	std::shared_ptr<std::atomic<bool>> fStop;
	std::unique_ptr<progress> fProgress;
	std::thread fPump;
};

#endif // ADDON_STATWINDOW_H
