/*
 * Windows on an X server: the connection, its error handlers, the window
 * itself with its title, and the events it receives.
 */
#include <interface/x11_surface.h>

#include <interface/window_looks.h>
#include <InterfaceDefs.h>
#include <Window.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>


namespace BPrivate {

std::recursive_mutex gXftLock;

const char* const kAtomNames[kAtomCount] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW",
		"_MOTIF_WM_HINTS", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG",
		"_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_NORMAL",
		"_NET_WM_STATE", "_NET_WM_STATE_MODAL", "_NET_WM_NAME",
		"_NET_WM_ICON_NAME", "UTF8_STRING", "_NET_WM_PID"};


namespace {


std::once_flag sHandlersInstalled;
std::atomic<bool> sNoDisplayReported(false);


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

} // namespace


X11Surface::X11Surface(BWindow* window, Display* display)
	: fWindow(window)
	, fDisplay(display)
	, fScreen(DefaultScreen(display))
	, fVisual(DefaultVisual(display, fScreen))
	, fColormap(DefaultColormap(display, fScreen))
	, fDepth(DefaultDepth(display, fScreen))
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
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	_DestroyBuffer();
	for (const auto& font : fFonts)
		XftFontClose(fDisplay, font.second);
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

	std::lock_guard<std::recursive_mutex> guard(gXftLock);

	// A font no longer used is freed at once, not when the connection
	// closes: freed then, it leaves the extension's state of the closed
	// connection behind, and the next connection that gets the same
	// address inherits it.
	FcPattern* defaults = FcPatternCreate();
	if (defaults == NULL)
		return B_NO_MEMORY;
	FcPatternAddInteger(defaults, XFT_MAX_UNREF_FONTS, 0);
	XftDefaultSet(fDisplay, defaults);

	if (_Font(kPlainFontSize) == NULL) {
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
X11Surface::_HandleEvent(XEvent& event)
{
	switch (event.type) {
	case Expose:
		if (event.xexpose.count == 0)
			fExposed = true;
		break;

	case MapNotify:
		// Without a window manager keys go where the pointer is; a window
		// with a use for them (a view, a shortcut) asks for them.
		if (TakesKeys(fWindow) && (fWindow->Flags() & B_AVOID_FOCUS) == 0)
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
