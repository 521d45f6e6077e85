/*
 * Windows on an X server, drawn with Xlib and Xft: the one place where the
 * interface kit meets X11.
 *
 * Each window has a connection of its own, used by one thread at a time
 * under the window's lock, so that windows never wait for each other. The
 * views draw into a buffer the size of the window, which is copied onto the
 * window when they changed or when the server asks for it. Xft and
 * fontconfig keep process-wide state; every use of them holds one lock.
 */
#include <window_surface.h>

#include <InterfaceDefs.h>
#include <Window.h>

#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <new>
#include <string>


namespace BPrivate {

namespace {

// A Helvetica-metric face first: the platform's plain font is one, and the
// frames of the views that callers give are measured for it.
const char* const kFontFamilies[]
		= {"Nimbus Sans", "Liberation Sans", "Helvetica", "sans-serif"};
const double kFontPixelSize = 10.0;

const rgb_color kPanelColor = {216, 216, 216, 255};

std::recursive_mutex sXftLock;
std::once_flag sHandlersInstalled;
std::atomic<bool> sNoDisplayReported(false);

// The window manager hints of Motif, which most window managers follow
// for the decoration of a window.
struct MotifHints {
	unsigned long flags;
	unsigned long functions;
	unsigned long decorations;
	long inputMode;
	unsigned long status;
};

enum {
	kMotifHintFunctions = 1 << 0,
	kMotifHintDecorations = 1 << 1,
	kMotifHintInputMode = 1 << 2
};

enum {
	kMotifFunctionResize = 1 << 1,
	kMotifFunctionMove = 1 << 2,
	kMotifFunctionMinimize = 1 << 3,
	kMotifFunctionMaximize = 1 << 4,
	kMotifFunctionClose = 1 << 5
};

enum {
	kMotifDecorationBorder = 1 << 1,
	kMotifDecorationResizeHandle = 1 << 2,
	kMotifDecorationTitle = 1 << 3,
	kMotifDecorationMenu = 1 << 4,
	kMotifDecorationMinimize = 1 << 5,
	kMotifDecorationMaximize = 1 << 6
};

enum {
	kMotifInputModeless = 0,
	kMotifInputApplicationModal = 3,
	kMotifInputSystemModal = 2
};

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

const char* const kAtomNames[kAtomCount] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW",
		"_MOTIF_WM_HINTS", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG",
		"_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_NORMAL",
		"_NET_WM_STATE", "_NET_WM_STATE_MODAL", "_NET_WM_NAME",
		"_NET_WM_ICON_NAME", "UTF8_STRING", "_NET_WM_PID"};


// A refused request is reported and the window goes on; the default
// handler would end the process.
int
handle_error(Display* display, XErrorEvent* event)
{
	char text[160];
	XGetErrorText(display, event->error_code, text, sizeof(text));
	fprintf(stderr, "BWindow: the display refused a request: %s (request %d)\n",
			text, static_cast<int>(event->request_code));
	return 0;
}


// Reported once per connection; the connection's exit handler then keeps
// the process alive.
int
handle_io_error(Display* display)
{
	fprintf(stderr, "BWindow: lost the connection to the display \"%s\"\n",
			DisplayString(display));
	return 0;
}


void
install_handlers()
{
	XInitThreads();
	XSetErrorHandler(handle_error);
	XSetIOErrorHandler(handle_io_error);
}


// UTF-8 into characters for Xft; a byte that starts no valid sequence
// becomes U+FFFD, so that a name in another encoding still shows.
void
decode_utf8(const char* string, int32 length, std::u32string& characters)
{
	characters.clear();
	const unsigned char* bytes = reinterpret_cast<const unsigned char*>(string);
	int32 i = 0;
	while (i < length) {
		unsigned char byte = bytes[i];
		int32 count;
		char32_t value;
		if (byte < 0x80) {
			count = 1;
			value = byte;
		} else if (byte >= 0xc2 && byte <= 0xdf) {
			count = 2;
			value = byte & 0x1f;
		} else if (byte >= 0xe0 && byte <= 0xef) {
			count = 3;
			value = byte & 0x0f;
		} else if (byte >= 0xf0 && byte <= 0xf4) {
			count = 4;
			value = byte & 0x07;
		} else {
			characters += U'\uFFFD';
			i++;
			continue;
		}

		bool valid = i + count <= length;
		for (int32 j = 1; valid && j < count; j++) {
			valid = (bytes[i + j] & 0xc0) == 0x80;
			if (valid)
				value = (value << 6) | (bytes[i + j] & 0x3f);
		}
		// Overlong forms, surrogates and values past Unicode are invalid.
		static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
		if (valid
				&& (value < kSmallest[count] || value > 0x10ffff
						|| (value >= 0xd800 && value <= 0xdfff)))
			valid = false;
		if (!valid) {
			characters += U'\uFFFD';
			i++;
			continue;
		}
		characters += value;
		i += count;
	}
}


int
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
	virtual void TitleChanged();

	virtual void Invalidated(BView* view);
	virtual int EventDescriptor();
	virtual void DispatchEvents();
	virtual void Update(const std::vector<BView*>& changed);

	virtual void SetDrawingArea(BPoint origin, BRect clip);
	virtual void FillRect(BRect rect, rgb_color color);
	virtual void StrokeLine(BPoint start, BPoint end, rgb_color color);
	virtual void DrawString(
			const char* string, int32 length, BPoint location, rgb_color color);
	virtual float StringWidth(const char* string, int32 length);
	virtual void GetFontHeight(font_height* height);

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

	BWindow* fWindow;
	Display* fDisplay;
	int fScreen;
	Visual* fVisual;
	Colormap fColormap;
	int fDepth;
	Atom fAtoms[kAtomCount];
	XftFont* fFont;

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


X11Surface::X11Surface(BWindow* window, Display* display)
	: fWindow(window)
	, fDisplay(display)
	, fScreen(DefaultScreen(display))
	, fVisual(DefaultVisual(display, fScreen))
	, fColormap(DefaultColormap(display, fScreen))
	, fDepth(DefaultDepth(display, fScreen))
	, fFont(NULL)
	, fXWindow(None)
	, fGC(NULL)
	, fBuffer(None)
	, fDraw(NULL)
	, fBufferWidth(0)
	, fBufferHeight(0)
	, fMapped(false)
	, fExposed(false)
	, fLost(false)
{
	// A vanished server ends this connection, not the process.
	XSetIOErrorExitHandler(fDisplay, &_ConnectionLost, this);
}


X11Surface::~X11Surface()
{
	std::lock_guard<std::recursive_mutex> guard(sXftLock);
	_DestroyBuffer();
	if (fFont != NULL)
		XftFontClose(fDisplay, fFont);
	if (fGC != NULL)
		XFreeGC(fDisplay, fGC);
	if (fXWindow != None)
		XDestroyWindow(fDisplay, fXWindow);
	XCloseDisplay(fDisplay);
}


status_t
X11Surface::Init()
{
	if (!XInternAtoms(fDisplay, const_cast<char**>(kAtomNames), kAtomCount,
				False, fAtoms))
		return B_ERROR;

	std::lock_guard<std::recursive_mutex> guard(sXftLock);

	// A font no longer used is freed at once, not when the connection
	// closes: freed then, it leaves the extension's state of the closed
	// connection behind, and the next connection that gets the same
	// address inherits it.
	FcPattern* defaults = FcPatternCreate();
	if (defaults == NULL)
		return B_NO_MEMORY;
	FcPatternAddInteger(defaults, XFT_MAX_UNREF_FONTS, 0);
	XftDefaultSet(fDisplay, defaults);

	fFont = XftFontOpen(fDisplay, fScreen, XFT_FAMILY, XftTypeString,
			kFontFamilies[0], XFT_FAMILY, XftTypeString, kFontFamilies[1],
			XFT_FAMILY, XftTypeString, kFontFamilies[2], XFT_FAMILY,
			XftTypeString, kFontFamilies[3], XFT_PIXEL_SIZE, XftTypeDouble,
			kFontPixelSize, NULL);
	if (fFont == NULL) {
		fputs("BWindow: the display has no font to draw text with\n", stderr);
		return B_ERROR;
	}
	return fLost ? B_ERROR : B_OK;
}


bool
X11Surface::IsOnDisplay() const
{
	return !fLost;
}


BRect
X11Surface::ScreenFrame() const
{
	return BRect(0, 0, DisplayWidth(fDisplay, fScreen) - 1,
			DisplayHeight(fDisplay, fScreen) - 1);
}


void
X11Surface::Show()
{
	if (fLost)
		return;
	if (fXWindow == None && !_CreateWindow())
		return;

	// Drawn before it is mapped, so that it never shows empty.
	_Redraw();
	XMapRaised(fDisplay, fXWindow);
	XFlush(fDisplay);
	fMapped = true;
}


void
X11Surface::Hide()
{
	if (fLost || fXWindow == None)
		return;
	XUnmapWindow(fDisplay, fXWindow);
	XFlush(fDisplay);
	fMapped = false;
}


void
X11Surface::FrameChanged()
{
	if (fLost || fXWindow == None)
		return;

	_SetHints();
	BRect frame = fWindow->Frame();
	XMoveResizeWindow(fDisplay, fXWindow, to_pixel(frame.left),
			to_pixel(frame.top), frame.IntegerWidth() + 1,
			frame.IntegerHeight() + 1);
	if (frame.IntegerWidth() + 1 != fBufferWidth
			|| frame.IntegerHeight() + 1 != fBufferHeight) {
		_DestroyBuffer();
		_CreateBuffer();
		_Redraw();
	}
	XFlush(fDisplay);
}


void
X11Surface::TitleChanged()
{
	if (fLost || fXWindow == None)
		return;
	_SetTitle();
	XFlush(fDisplay);
}


void
X11Surface::Invalidated(BView* view)
{
	// Drawn by the window's thread, once for all that changed until then.
	(void)view;
}


int
X11Surface::EventDescriptor()
{
	return fLost ? -1 : ConnectionNumber(fDisplay);
}


void
X11Surface::DispatchEvents()
{
	while (!fLost && XPending(fDisplay) > 0) {
		XEvent event;
		XNextEvent(fDisplay, &event);
		_HandleEvent(event);
	}
}


void
X11Surface::Update(const std::vector<BView*>& changed)
{
	if (fLost || fXWindow == None)
		return;

	if (!changed.empty())
		_Redraw();
	if (fExposed && fMapped && fBuffer != None) {
		XCopyArea(fDisplay, fBuffer, fXWindow, fGC, 0, 0, fBufferWidth,
				fBufferHeight, 0, 0);
		fExposed = false;
	}
	XFlush(fDisplay);
}


void
X11Surface::SetDrawingArea(BPoint origin, BRect clip)
{
	fOrigin = origin;

	XRectangle rectangle;
	rectangle.x = static_cast<short>(to_pixel(clip.left));
	rectangle.y = static_cast<short>(to_pixel(clip.top));
	rectangle.width = static_cast<unsigned short>(
			to_pixel(clip.right) - rectangle.x + 1);
	rectangle.height = static_cast<unsigned short>(
			to_pixel(clip.bottom) - rectangle.y + 1);
	XSetClipRectangles(fDisplay, fGC, 0, 0, &rectangle, 1, Unsorted);
	XftDrawSetClipRectangles(fDraw, 0, 0, &rectangle, 1);
}


void
X11Surface::FillRect(BRect rect, rgb_color color)
{
	int left = to_pixel(rect.left + fOrigin.x);
	int top = to_pixel(rect.top + fOrigin.y);
	int right = to_pixel(rect.right + fOrigin.x);
	int bottom = to_pixel(rect.bottom + fOrigin.y);
	if (right < left || bottom < top)
		return;
	XSetForeground(fDisplay, fGC, _Pixel(color));
	XFillRectangle(fDisplay, fBuffer, fGC, left, top, right - left + 1,
			bottom - top + 1);
}


void
X11Surface::StrokeLine(BPoint start, BPoint end, rgb_color color)
{
	// Lines along an axis are rectangles, both ends included.
	if (start.x == end.x || start.y == end.y) {
		FillRect(BRect(fminf(start.x, end.x), fminf(start.y, end.y),
						 fmaxf(start.x, end.x), fmaxf(start.y, end.y)),
				color);
		return;
	}
	XSetForeground(fDisplay, fGC, _Pixel(color));
	XDrawLine(fDisplay, fBuffer, fGC, to_pixel(start.x + fOrigin.x),
			to_pixel(start.y + fOrigin.y), to_pixel(end.x + fOrigin.x),
			to_pixel(end.y + fOrigin.y));
}


void
X11Surface::DrawString(
		const char* string, int32 length, BPoint location, rgb_color color)
{
	std::lock_guard<std::recursive_mutex> guard(sXftLock);
	try {
		decode_utf8(string, length, fCharacters);
	} catch (const std::bad_alloc&) {
		return;
	}

	// Opaque whatever the colour's alpha: the kit's colours are solid.
	XftColor xftColor;
	xftColor.pixel = _Pixel(color);
	xftColor.color.red = color.red * 257;
	xftColor.color.green = color.green * 257;
	xftColor.color.blue = color.blue * 257;
	xftColor.color.alpha = 0xffff;
	XftDrawString32(fDraw, &xftColor, fFont, to_pixel(location.x + fOrigin.x),
			to_pixel(location.y + fOrigin.y),
			reinterpret_cast<const FcChar32*>(fCharacters.data()),
			static_cast<int>(fCharacters.size()));
}


float
X11Surface::StringWidth(const char* string, int32 length)
{
	std::lock_guard<std::recursive_mutex> guard(sXftLock);
	try {
		decode_utf8(string, length, fCharacters);
	} catch (const std::bad_alloc&) {
		return 0;
	}
	XGlyphInfo extents;
	XftTextExtents32(fDisplay, fFont,
			reinterpret_cast<const FcChar32*>(fCharacters.data()),
			static_cast<int>(fCharacters.size()), &extents);
	return extents.xOff;
}


void
X11Surface::GetFontHeight(font_height* height)
{
	height->ascent = fFont->ascent;
	height->descent = fFont->descent;
	float leading = fFont->height - fFont->ascent - fFont->descent;
	height->leading = leading > 0 ? leading : 0;
}


void
X11Surface::_ConnectionLost(Display* display, void* data)
{
	(void)display;
	// Xlib returns from here and fails every further call at once.
	static_cast<X11Surface*>(data)->fLost = true;
}


bool
X11Surface::_CreateWindow()
{
	BRect frame = fWindow->Frame();
	XSetWindowAttributes attributes;
	attributes.background_pixel = _Pixel(kPanelColor);
	attributes.bit_gravity = NorthWestGravity;
	attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask
			| ButtonReleaseMask | StructureNotifyMask;
	fXWindow = XCreateWindow(fDisplay, RootWindow(fDisplay, fScreen),
			to_pixel(frame.left), to_pixel(frame.top), frame.IntegerWidth() + 1,
			frame.IntegerHeight() + 1, 0, fDepth, InputOutput, fVisual,
			CWBackPixel | CWBitGravity | CWEventMask, &attributes);
	if (fXWindow == None)
		return false;

	XGCValues values;
	values.graphics_exposures = False;
	fGC = XCreateGC(fDisplay, fXWindow, GCGraphicsExposures, &values);

	_SetHints();
	_SetTitle();
	XSetWMProtocols(fDisplay, fXWindow, &fAtoms[kAtomDeleteWindow], 1);

	XClassHint classHint;
	classHint.res_name = program_invocation_short_name;
	classHint.res_class = program_invocation_short_name;
	XSetClassHint(fDisplay, fXWindow, &classHint);

	long pid = getpid();
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomPid], XA_CARDINAL, 32,
			PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);

	return _CreateBuffer();
}


bool
X11Surface::_CreateBuffer()
{
	BRect frame = fWindow->Frame();
	fBufferWidth = frame.IntegerWidth() + 1;
	fBufferHeight = frame.IntegerHeight() + 1;
	fBuffer = XCreatePixmap(
			fDisplay, fXWindow, fBufferWidth, fBufferHeight, fDepth);
	std::lock_guard<std::recursive_mutex> guard(sXftLock);
	fDraw = XftDrawCreate(fDisplay, fBuffer, fVisual, fColormap);
	return fBuffer != None && fDraw != NULL;
}


void
X11Surface::_DestroyBuffer()
{
	std::lock_guard<std::recursive_mutex> guard(sXftLock);
	if (fDraw != NULL)
		XftDrawDestroy(fDraw);
	fDraw = NULL;
	if (fBuffer != None)
		XFreePixmap(fDisplay, fBuffer);
	fBuffer = None;
}


void
X11Surface::_SetHints()
{
	BRect frame = fWindow->Frame();
	int width = frame.IntegerWidth() + 1;
	int height = frame.IntegerHeight() + 1;
	uint32 flags = fWindow->Flags();
	window_look look = fWindow->Look();
	window_feel feel = fWindow->Feel();
	bool modal = feel == B_MODAL_APP_WINDOW_FEEL
			|| feel == B_MODAL_SUBSET_WINDOW_FEEL
			|| feel == B_MODAL_ALL_WINDOW_FEEL;
	bool floating = feel == B_FLOATING_APP_WINDOW_FEEL
			|| feel == B_FLOATING_SUBSET_WINDOW_FEEL
			|| feel == B_FLOATING_ALL_WINDOW_FEEL;
	bool fixedWidth = (flags & (B_NOT_RESIZABLE | B_NOT_H_RESIZABLE)) != 0;
	bool fixedHeight = (flags & (B_NOT_RESIZABLE | B_NOT_V_RESIZABLE)) != 0;

	// The content goes exactly where the frame says: a position the user
	// gave, and a gravity that keeps the decoration outside of it.
	XSizeHints* sizeHints = XAllocSizeHints();
	if (sizeHints != NULL) {
		sizeHints->flags = USPosition | PPosition | PSize | PWinGravity;
		sizeHints->x = to_pixel(frame.left);
		sizeHints->y = to_pixel(frame.top);
		sizeHints->width = width;
		sizeHints->height = height;
		sizeHints->win_gravity = StaticGravity;
		if (fixedWidth || fixedHeight) {
			sizeHints->flags |= PMinSize | PMaxSize;
			sizeHints->min_width = fixedWidth ? width : 1;
			sizeHints->max_width = fixedWidth ? width : 32767;
			sizeHints->min_height = fixedHeight ? height : 1;
			sizeHints->max_height = fixedHeight ? height : 32767;
		}
		XSetWMNormalHints(fDisplay, fXWindow, sizeHints);
		XFree(sizeHints);
	}

	XWMHints* wmHints = XAllocWMHints();
	if (wmHints != NULL) {
		wmHints->flags = InputHint | StateHint;
		wmHints->input = (flags & B_AVOID_FOCUS) == 0;
		wmHints->initial_state = NormalState;
		XSetWMHints(fDisplay, fXWindow, wmHints);
		XFree(wmHints);
	}

	MotifHints motif = {};
	motif.flags
			= kMotifHintFunctions | kMotifHintDecorations | kMotifHintInputMode;
	if ((flags & B_NOT_MOVABLE) == 0)
		motif.functions |= kMotifFunctionMove;
	if (!fixedWidth || !fixedHeight)
		motif.functions |= kMotifFunctionResize;
	switch (look) {
	case B_NO_BORDER_WINDOW_LOOK:
		motif.decorations = 0;
		break;
	case B_BORDERED_WINDOW_LOOK:
		motif.decorations = kMotifDecorationBorder;
		break;
	case B_MODAL_WINDOW_LOOK:
		motif.decorations = kMotifDecorationBorder | kMotifDecorationTitle;
		break;
	case B_TITLED_WINDOW_LOOK:
	case B_DOCUMENT_WINDOW_LOOK:
	case B_FLOATING_WINDOW_LOOK:
	default:
		motif.decorations = kMotifDecorationBorder | kMotifDecorationTitle
				| kMotifDecorationMenu;
		if ((flags & B_NOT_CLOSABLE) == 0)
			motif.functions |= kMotifFunctionClose;
		if ((flags & B_NOT_MINIMIZABLE) == 0
				&& look != B_FLOATING_WINDOW_LOOK) {
			motif.functions |= kMotifFunctionMinimize;
			motif.decorations |= kMotifDecorationMinimize;
		}
		if ((flags & B_NOT_ZOOMABLE) == 0 && !fixedWidth && !fixedHeight) {
			motif.functions |= kMotifFunctionMaximize;
			motif.decorations |= kMotifDecorationMaximize;
		}
		if (!fixedWidth || !fixedHeight)
			motif.decorations |= kMotifDecorationResizeHandle;
		break;
	}
	if (feel == B_MODAL_ALL_WINDOW_FEEL)
		motif.inputMode = kMotifInputSystemModal;
	else if (modal)
		motif.inputMode = kMotifInputApplicationModal;
	else
		motif.inputMode = kMotifInputModeless;
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomMotifHints],
			fAtoms[kAtomMotifHints], 32, PropModeReplace,
			reinterpret_cast<unsigned char*>(&motif), 5);

	// A modal window is a dialog of its application as a whole.
	Atom type = fAtoms[kAtomTypeNormal];
	if (modal)
		type = fAtoms[kAtomTypeDialog];
	else if (floating)
		type = fAtoms[kAtomTypeUtility];
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomWindowType], XA_ATOM, 32,
			PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
	if (modal) {
		XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomState], XA_ATOM, 32,
				PropModeReplace,
				reinterpret_cast<unsigned char*>(&fAtoms[kAtomStateModal]), 1);
		XSetTransientForHint(fDisplay, fXWindow, RootWindow(fDisplay, fScreen));
	} else {
		XDeleteProperty(fDisplay, fXWindow, fAtoms[kAtomState]);
		XDeleteProperty(fDisplay, fXWindow, XA_WM_TRANSIENT_FOR);
	}
}


void
X11Surface::_SetTitle()
{
	const char* title = fWindow->Title();
	int length = static_cast<int>(strlen(title));
	const unsigned char* bytes = reinterpret_cast<const unsigned char*>(title);
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomName],
			fAtoms[kAtomUtf8String], 8, PropModeReplace, bytes, length);
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomIconName],
			fAtoms[kAtomUtf8String], 8, PropModeReplace, bytes, length);
	// For window managers and tools that know only the older names.
	XStoreName(fDisplay, fXWindow, title);
	XSetIconName(fDisplay, fXWindow, title);
}


void
X11Surface::_Redraw()
{
	if (fBuffer == None || fDraw == NULL)
		return;
	std::lock_guard<std::recursive_mutex> guard(sXftLock);
	DrawViews(fWindow);
	// The copy onto the window is not clipped to the last view drawn.
	XSetClipMask(fDisplay, fGC, None);
	fExposed = true;
}


void
X11Surface::_HandleEvent(XEvent& event)
{
	switch (event.type) {
	case Expose:
		if (event.xexpose.count == 0)
			fExposed = true;
		break;

	case MapNotify:
		// Without a window manager keys go where the pointer is; a window
		// with a view for them asks for them.
		if (fWindow->CurrentFocus() != NULL
				&& (fWindow->Flags() & B_AVOID_FOCUS) == 0)
			XSetInputFocus(fDisplay, fXWindow, RevertToParent, CurrentTime);
		break;

	case ConfigureNotify: {
		int x;
		int y;
		Window child;
		if (XTranslateCoordinates(fDisplay, fXWindow,
					RootWindow(fDisplay, fScreen), 0, 0, &x, &y, &child))
			FrameMoved(fWindow, BPoint(x, y));
		break;
	}

	case KeyPress:
		_HandleKey(event.xkey);
		break;

	case ButtonPress:
		if (event.xbutton.button == Button1)
			MouseDown(fWindow, BPoint(event.xbutton.x, event.xbutton.y));
		break;

	case ButtonRelease:
		if (event.xbutton.button == Button1)
			MouseUp(fWindow, BPoint(event.xbutton.x, event.xbutton.y));
		break;

	case ClientMessage:
		if (event.xclient.message_type == fAtoms[kAtomProtocols]
				&& event.xclient.format == 32
				&& static_cast<Atom>(event.xclient.data.l[0])
						== fAtoms[kAtomDeleteWindow])
			CloseRequested(fWindow);
		break;
	}
}


void
X11Surface::_HandleKey(XKeyEvent& event)
{
	char buffer[16];
	KeySym key;
	int count = XLookupString(&event, buffer, sizeof(buffer), &key, NULL);

	char bytes[8];
	int32 length = 1;
	switch (key) {
	case XK_Return:
	case XK_KP_Enter:
		bytes[0] = B_ENTER;
		break;
	case XK_Escape:
		bytes[0] = B_ESCAPE;
		break;
	case XK_Tab:
	case XK_ISO_Left_Tab:
		bytes[0] = B_TAB;
		break;
	case XK_BackSpace:
		bytes[0] = B_BACKSPACE;
		break;
	case XK_Delete:
		bytes[0] = B_DELETE;
		break;
	case XK_Left:
		bytes[0] = B_LEFT_ARROW;
		break;
	case XK_Right:
		bytes[0] = B_RIGHT_ARROW;
		break;
	case XK_Up:
		bytes[0] = B_UP_ARROW;
		break;
	case XK_Down:
		bytes[0] = B_DOWN_ARROW;
		break;
	case XK_Home:
		bytes[0] = B_HOME;
		break;
	case XK_End:
		bytes[0] = B_END;
		break;
	case XK_Page_Up:
		bytes[0] = B_PAGE_UP;
		break;
	case XK_Page_Down:
		bytes[0] = B_PAGE_DOWN;
		break;
	case XK_Insert:
		bytes[0] = B_INSERT;
		break;
	default: {
		if (count != 1)
			return;
		// XLookupString gives Latin-1; the kit speaks UTF-8.
		unsigned char c = static_cast<unsigned char>(buffer[0]);
		if (c < 0x80)
			bytes[0] = static_cast<char>(c);
		else {
			bytes[0] = static_cast<char>(0xc0 | (c >> 6));
			bytes[1] = static_cast<char>(0x80 | (c & 0x3f));
			length = 2;
		}
		break;
	}
	}
	bytes[length] = '\0';
	KeyDown(fWindow, bytes, length);
}


unsigned long
X11Surface::_Pixel(rgb_color color)
{
	if (fVisual->c_class == TrueColor || fVisual->c_class == DirectColor) {
		auto scale = [](uint8 value, unsigned long mask) {
			int shift = __builtin_ctzl(mask);
			unsigned long top = mask >> shift;
			return (value * top / 255) << shift;
		};
		return scale(color.red, fVisual->red_mask)
				| scale(color.green, fVisual->green_mask)
				| scale(color.blue, fVisual->blue_mask);
	}

	XColor xColor;
	xColor.red = color.red * 257;
	xColor.green = color.green * 257;
	xColor.blue = color.blue * 257;
	xColor.flags = DoRed | DoGreen | DoBlue;
	if (XAllocColor(fDisplay, fColormap, &xColor))
		return xColor.pixel;
	return BlackPixel(fDisplay, fScreen);
}

} // namespace


WindowSurface*
create_x11_surface(BWindow* window)
{
	const char* name = getenv("DISPLAY");
	if (name == NULL || name[0] == '\0')
		return NULL;

	std::call_once(sHandlersInstalled, install_handlers);
	Display* display = XOpenDisplay(NULL);
	if (display == NULL) {
		if (!sNoDisplayReported.exchange(true)) {
			fprintf(stderr,
					"BWindow: cannot open the display \"%s\"; windows are "
					"written to standard error\n",
					name);
		}
		return NULL;
	}

	X11Surface* surface = new (std::nothrow) X11Surface(window, display);
	if (surface == NULL) {
		XCloseDisplay(display);
		return NULL;
	}
	if (surface->Init() != B_OK) {
		delete surface;
		return NULL;
	}
	return surface;
}

} // namespace BPrivate


#if defined(__SANITIZE_ADDRESS__)
// The leak checker's exceptions in sanitizer builds: fontconfig loses a few
// hundred bytes while it reads its configuration, once per process, and
// frees them in no call of its own.
extern "C" __attribute__((visibility("default"))) const char*
__lsan_default_suppressions()
{
	return "leak:libfontconfig.so\n";
}
#endif
