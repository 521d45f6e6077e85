/*
 * The status window of a batch: a small strip near the top left corner of
 * the screen with the add-on's name and the leaf name of the file at hand.
 */
#ifndef ADDON_STATWINDOW_H
#define ADDON_STATWINDOW_H

class BStringView;
class BWindow;

class statWindow {
public:
	void Open();
	void ShowName(const char* name);
	void Close();

private:
	// Both belong to the window kit once shown; nothing is deleted here.
	BWindow* fWindow = nullptr;
	BStringView* fName = nullptr;
};

#endif // ADDON_STATWINDOW_H
