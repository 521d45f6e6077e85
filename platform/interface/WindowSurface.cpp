/*
 * The choice of a window's surface, and the window's side that the
 * surfaces call.
 */
#include <interface/window_surface.h>

#include <Window.h>


namespace BPrivate {

WindowSurface::~WindowSurface()
{
}


WindowSurface*
WindowSurface::Create(BWindow* window)
{
	WindowSurface* surface = create_x11_surface(window);
	if (surface != NULL)
		return surface;
	return create_terminal_surface(window);
}


void
WindowSurface::DrawViews(BWindow* window)
{
	window->_DrawViews();
}


void
WindowSurface::KeyDown(BWindow* window, const char* bytes, int32 numBytes)
{
	window->_KeyDown(bytes, numBytes);
}


void
WindowSurface::MouseDown(BWindow* window, BPoint where)
{
	window->_MouseDown(where);
}


void
WindowSurface::MouseUp(BWindow* window, BPoint where)
{
	window->_MouseUp(where);
}


void
WindowSurface::CloseRequested(BWindow* window)
{
	window->_CloseRequested();
}


void
WindowSurface::FrameMoved(BWindow* window, BPoint where)
{
	window->_FrameMoved(where);
}

} // namespace BPrivate
