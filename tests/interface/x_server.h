/*
 * An X server of the tests' own (Xvfb on a free display), and what the
 * tests do on it as a person would: find a window, look at its pixels,
 * press a key, click.
 */
#ifndef TESTS_INTERFACE_X_SERVER_H
#define TESTS_INTERFACE_X_SERVER_H

#include "png.h"

#include <sys/types.h>

#include <functional>
#include <string>

// Xlib's types, without its macros (None, Bool, Status) that clash with
// the test framework's names: include Xlib after it.
typedef struct _XDisplay Display;
typedef unsigned long Window;

class XServer {
public:
	~XServer();

	// Starts Xvfb and waits until it answers; false with the reason in
	// error when it cannot (for one, when Xvfb is not installed).
	bool Start(std::string& error);
	// Ends the server as a crash would, at once.
	void Kill();
	void Stop();

	// ":N"
	const std::string&
	Name() const
	{
		return fName;
	}

private:
	pid_t fProcess = -1;
	std::string fName;
};

struct WindowGeometry {
	int x;
	int y;
	int width;
	int height;
};

// Calls condition every few milliseconds until it holds or the time is up.
bool wait_until(const std::function<bool()>& condition, int milliseconds);

// The mapped top-level window with that title, or None once the time is up.
Window wait_for_window(
		Display* display, const std::string& title, int milliseconds);
// Whether a mapped top-level window with that title exists.
bool window_shown(Display* display, const std::string& title);
WindowGeometry window_geometry(Display* display, Window window);
Window focused_window(Display* display);

// The pixels of a rectangle of the screen.
Image capture(Display* display, int x, int y, int width, int height);
Image capture(Display* display, Window window);

// Through the XTEST extension, as from the keyboard and the mouse.
void press_key(Display* display, unsigned long keysym);
void click(Display* display, int x, int y);
// The button pressed at one place and released at another.
void drag(Display* display, int fromX, int fromY, int toX, int toY);

// The folder that screenshots go to, made when missing.
std::string screenshot_path(const std::string& name);

#endif // TESTS_INTERFACE_X_SERVER_H
