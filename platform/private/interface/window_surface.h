/*
 * Inside the kits only: where a window appears. One surface per window: a
 * window of the X server when there is a display, lines on standard error
 * when there is none. The window calls its surface with the window locked;
 * the surface calls back into the window on the window's thread.
 */
#ifndef _WINDOW_SURFACE_H
#define _WINDOW_SURFACE_H

#include <Font.h>
#include <GraphicsDefs.h>
#include <Point.h>
#include <Rect.h>
#include <SupportDefs.h>

#include <vector>

class BView;
class BWindow;

namespace BPrivate {

class WindowSurface {
public:
	virtual ~WindowSurface();

	// The surface for window: on the display when DISPLAY names one that
	// answers, else on standard error. NULL only without memory.
	static WindowSurface* Create(BWindow* window);

	// A window of the X server, and not one that lost its display.
	virtual bool IsOnDisplay() const = 0;
	virtual BRect ScreenFrame() const = 0;

	virtual void Show() = 0;
	virtual void Hide() = 0;
	// After the window's frame or look changed.
	virtual void FrameChanged() = 0;

	// A view changed; called with the window locked, on the thread that
	// changed it. A display draws it later, in Update().
	virtual void Invalidated(BView* view) = 0;

	// For the window's loop: the descriptor that becomes readable with
	// events (-1 for none); reading and handling them, without blocking;
	// and drawing what changed (the views given, or what was exposed).
	virtual int EventDescriptor() = 0;
	virtual void DispatchEvents() = 0;
	virtual void Update(const std::vector<BView*>& changed) = 0;

	// Drawing during a pass, for one view at a time: origin and clip are
	// in window coordinates, the rest in the view's.
	virtual void SetDrawingArea(BPoint origin, BRect clip) = 0;
	virtual void FillRect(BRect rect, rgb_color color) = 0;
	virtual void StrokeLine(BPoint start, BPoint end, rgb_color color) = 0;
	virtual void DrawString(const char* string, int32 length, BPoint location,
			rgb_color color, float size)
			= 0;
	virtual float StringWidth(const char* string, int32 length, float size) = 0;
	virtual void GetFontHeight(font_height* height, float size) = 0;

protected:
	// The window's side, for the surfaces.
	static void DrawViews(BWindow* window);
	static void KeyDown(BWindow* window, const char* bytes, int32 numBytes);
	static void MouseDown(BWindow* window, BPoint where);
	static void MouseUp(BWindow* window, BPoint where);
	static void CloseRequested(BWindow* window);
	static void FrameMoved(BWindow* window, BPoint where);
	// Whether the window has a use for keys: a focus view, or a shortcut.
	static bool TakesKeys(const BWindow* window);
};

// NULL when there is no display to draw on.
WindowSurface* create_x11_surface(BWindow* window);
WindowSurface* create_terminal_surface(BWindow* window);

// Shows an alert on standard error and returns the index of the button
// that answers it: the one the user picks on the controlling terminal, or
// the last one at once when there is no terminal.
int32 terminal_alert(const char* title, const char* text,
		const char* const* labels, int32 count);

// One line of text for standard error: control characters, which would
// break the line, become '?'.
void write_terminal_line(const char* text);

} // namespace BPrivate

#endif // _WINDOW_SURFACE_H
