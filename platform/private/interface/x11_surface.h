/*
 * Inside the interface kit only: a window on an X server, drawn with Xlib
 * and Xft. Its parts live apart: the connection, the window and its events
 * (X11Surface.cpp), what it asks of the window manager (X11Hints.cpp), the
 * keys it hands to the window (X11Keys.cpp), and drawing (X11Drawing.cpp).
 *
 * Each window has a connection of its own, used by one thread at a time
 * under the window's lock, so that windows never wait for each other. The
 * views draw into a buffer the size of the window, which is copied onto the
 * window when they changed or when the server asks for it. Xft and
 * fontconfig keep process-wide state; every use of them holds gXftLock.
 */
#ifndef _INTERFACE_X11_SURFACE_H
#define _INTERFACE_X11_SURFACE_H

#include <interface/window_surface.h>

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <math.h>

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace BPrivate {

extern std::recursive_mutex gXftLock;

enum {
	kAtomProtocols,
	kAtomDeleteWindow,
	kAtomMotifHints,
	kAtomWindowType,
	kAtomTypeDialog,
	kAtomTypeUtility,
	kAtomTypeNormal,
	kAtomState,
	kAtomStateModal,
	kAtomName,
	kAtomIconName,
	kAtomUtf8String,
	kAtomPid,
	kAtomCount
};

extern const char* const kAtomNames[kAtomCount];


inline int
to_pixel(float coordinate)
{
	return static_cast<int>(floorf(coordinate));
}


class X11Surface : public WindowSurface {
public:
	X11Surface(BWindow* window, Display* display);
	virtual ~X11Surface();

	status_t Init();

	virtual bool IsOnDisplay() const;
	virtual BRect ScreenFrame() const;

	virtual void Show();
	virtual void Hide();
	virtual void FrameChanged();

	virtual void Invalidated(BView* view);
	virtual int EventDescriptor();
	virtual void DispatchEvents();
	virtual void Update(const std::vector<BView*>& changed);

	virtual void SetDrawingArea(BPoint origin, BRect clip);
	virtual void FillRect(BRect rect, rgb_color color);
	virtual void StrokeLine(BPoint start, BPoint end, rgb_color color);
	virtual void DrawString(const char* string, int32 length, BPoint location,
			rgb_color color, float size);
	virtual float StringWidth(const char* string, int32 length, float size);
	virtual void GetFontHeight(font_height* height, float size);

private:
	static void _ConnectionLost(Display* display, void* data);

	bool _CreateWindow();
	bool _CreateBuffer();
	void _DestroyBuffer();
	void _SetHints();
	void _SetTitle();
	void _Redraw();
	void _HandleEvent(XEvent& event);
	void _HandleKey(XKeyEvent& event);
	unsigned long _Pixel(rgb_color color);
	XftFont* _Font(float size);

	BWindow* fWindow;
	Display* fDisplay;
	int fScreen;
	Visual* fVisual;
	Colormap fColormap;
	int fDepth;
	Atom fAtoms[kAtomCount];
	// The face at each size asked for, the plain size first.
	std::vector<std::pair<float, XftFont*>> fFonts;

	Window fXWindow;
	GC fGC;
	Pixmap fBuffer;
	XftDraw* fDraw;
	int fBufferWidth;
	int fBufferHeight;

	BPoint fOrigin;
	bool fMapped;
	bool fExposed;
	std::atomic<bool> fLost;
	std::u32string fCharacters;
};

} // namespace BPrivate

#endif // _INTERFACE_X11_SURFACE_H
