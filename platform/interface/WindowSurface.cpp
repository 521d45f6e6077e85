/*
 * The choice of a window's surface, and the window's side that the
 * surfaces call: the drawing pass over its views and the input it hands
 * them.
 */
#include <interface/window_looks.h>
#include <interface/window_surface.h>

#include <View.h>
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


bool
WindowSurface::TakesKeys(const BWindow* window)
{
	return window->_TakesKeys();
}

} // namespace BPrivate


BPrivate::WindowSurface*
BWindow::_DrawingSurface(const BView* view) const
{
	return fDrawingView == view ? fSurface : NULL;
}


BPrivate::WindowSurface*
BWindow::_Surface() const
{
	return fSurface;
}


void
BWindow::_DrawViews()
{
	if (fTopView != NULL && fSurface != NULL)
		_DrawView(fTopView, BPoint(0, 0), Bounds());
	fDrawingView = NULL;
}


void
BWindow::_DrawView(BView* view, BPoint parentOrigin, BRect clip)
{
	BRect frame = view->Frame().OffsetByCopy(parentOrigin);
	BRect visible = frame & clip;
	if (!visible.IsValid())
		return;

	fSurface->SetDrawingArea(frame.LeftTop(), visible);
	if (view->ViewColor() != B_TRANSPARENT_COLOR)
		fSurface->FillRect(view->Bounds(), view->ViewColor());
	if ((view->Flags() & B_WILL_DRAW) != 0) {
		fDrawingView = view;
		view->Draw(view->Bounds());
		fDrawingView = NULL;
	}

	// Later children lie on top of earlier ones.
	for (int32 i = 0; i < view->CountChildren(); i++)
		_DrawView(view->ChildAt(i), frame.LeftTop(), visible);
}


void
BWindow::_KeyDown(const char* bytes, int32 numBytes)
{
	// A shortcut goes first, wherever the focus is; the keys come without
	// their modifiers.
	Shortcut* shortcut = numBytes == 1
			? _FindShortcut(static_cast<uint8>(bytes[0]), B_NO_COMMAND_KEY)
			: NULL;
	if (shortcut != NULL) {
		BHandler* target = shortcut->target;
		if (target == NULL)
			target = fFocus;
		PostMessage(shortcut->message, target);
		return;
	}
	if (fFocus != NULL)
		fFocus->KeyDown(bytes, numBytes);
}


void
BWindow::_MouseDown(BPoint where)
{
	if (fTopView == NULL)
		return;

	// The topmost view under the pointer: the last child that holds it.
	BView* view = fTopView;
	BPoint local = where;
	bool deeper = true;
	while (deeper) {
		deeper = false;
		for (int32 i = view->CountChildren() - 1; i >= 0; i--) {
			BView* child = view->ChildAt(i);
			if (child->Frame().Contains(local)) {
				local = local - child->Frame().LeftTop();
				view = child;
				deeper = true;
				break;
			}
		}
	}

	fMouseView = view;
	view->MouseDown(local);
}


void
BWindow::_MouseUp(BPoint where)
{
	// The view that saw the button go down sees it come up.
	BView* view = fMouseView;
	fMouseView = NULL;
	if (view == NULL)
		return;

	BPoint local = where;
	for (BView* parent = view; parent != fTopView && parent != NULL;
			parent = parent->fParent)
		local = local - parent->Frame().LeftTop();
	view->MouseUp(local);
}


void
BWindow::_CloseRequested()
{
	if (BPrivate::has_close_box(fLook) && (fFlags & B_NOT_CLOSABLE) == 0)
		PostMessage(B_QUIT_REQUESTED);
}


void
BWindow::_FrameMoved(BPoint where)
{
	fFrame.OffsetTo(where);
}
