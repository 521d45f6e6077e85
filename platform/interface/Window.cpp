/*
 * BWindow: its views, its state, and its part of the looper's loop.
 */
#include <Window.h>

#include <InterfaceDefs.h>
#include <View.h>

#include <interface/window_list.h>
#include <interface/window_looks.h>
#include <interface/window_surface.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <ctype.h>

#include <algorithm>
#include <new>


using namespace BPrivate;


namespace {

// Wakes the window's thread to draw what another thread changed.
const uint32 kUpdateWindow = 0x5F555044; // '_UPD'


// A shortcut's keys as the window compares them: letters in lower case,
// and the command key unless the shortcut says it has none.
uint32
prepared_key(uint32 key)
{
	return key < 0x80 ? static_cast<uint32>(tolower(static_cast<int>(key)))
					  : key;
}


uint32
prepared_modifiers(uint32 modifiers)
{
	uint32 prepared = modifiers
			& (B_SHIFT_KEY | B_COMMAND_KEY | B_CONTROL_KEY | B_OPTION_KEY
					| B_MENU_KEY);
	if ((modifiers & B_NO_COMMAND_KEY) == 0)
		prepared |= B_COMMAND_KEY;
	return prepared;
}

} // namespace


BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags,
		uint32 workspace)
	: BLooper(title)
{
	window_look look;
	window_feel feel;
	decompose_type(type, &look, &feel);
	_InitData(frame, title, look, feel, flags, workspace);
	fType = type;
}


BWindow::BWindow(BRect frame, const char* title, window_look look,
		window_feel feel, uint32 flags, uint32 workspace)
	: BLooper(title)
{
	_InitData(frame, title, look, feel, flags, workspace);
}


BWindow::~BWindow()
{
	BPrivate::remove_window(this);

	// Off the screen first, then the views go.
	delete fSurface;
	fSurface = NULL;

	if (fTopView != NULL) {
		fTopView->_Detach();
		delete fTopView;
	}
	for (const Shortcut& shortcut : fShortcuts)
		delete shortcut.message;
	free(fTitle);
}


status_t
BWindow::InitCheck() const
{
	return fInitStatus;
}


void
BWindow::Quit()
{
	BLooper::Quit();
}


bool
BWindow::QuitRequested()
{
	return true;
}


void
BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == kUpdateWindow && handler == this) {
		// The loop's next turn draws what changed.
		fUpdatePending = false;
		return;
	}
	BLooper::DispatchMessage(message, handler);
}


void
BWindow::MessageReceived(BMessage* message)
{
	BLooper::MessageReceived(message);
}


void
BWindow::Show()
{
	if (!Lock())
		return;

	if (fHidden) {
		fHidden = false;
		// Showing draws every view; nothing is left to draw again.
		fChanged.clear();
		if (fSurface != NULL)
			fSurface->Show();
	}
	if (!fLoopStarted) {
		fLoopStarted = true;
		if (Run() < 0)
			fLoopStarted = false;
	} else
		_RequestUpdate();

	Unlock();
}


void
BWindow::Hide()
{
	if (!Lock())
		return;
	if (!fHidden) {
		fHidden = true;
		fChanged.clear();
		if (fSurface != NULL)
			fSurface->Hide();
		_RequestUpdate();
	}
	Unlock();
}


bool
BWindow::IsHidden() const
{
	return fHidden;
}


void
BWindow::AddChild(BView* child, BView* before)
{
	if (fTopView != NULL)
		fTopView->AddChild(child, before);
}


bool
BWindow::RemoveChild(BView* child)
{
	return fTopView != NULL && fTopView->RemoveChild(child);
}


int32
BWindow::CountChildren() const
{
	return fTopView != NULL ? fTopView->CountChildren() : 0;
}


BView*
BWindow::ChildAt(int32 index) const
{
	return fTopView != NULL ? fTopView->ChildAt(index) : NULL;
}


BView*
BWindow::FindView(const char* name) const
{
	return fTopView != NULL ? fTopView->FindView(name) : NULL;
}


BView*
BWindow::CurrentFocus() const
{
	return fFocus;
}


void
BWindow::AddShortcut(uint32 key, uint32 modifiers, BMessage* message)
{
	AddShortcut(key, modifiers, message, NULL);
}


void
BWindow::AddShortcut(
		uint32 key, uint32 modifiers, BMessage* message, BHandler* target)
{
	if (message == NULL)
		return;
	if (!_CheckLock("AddShortcut")) {
		delete message;
		return;
	}
	Shortcut shortcut = {
			prepared_key(key), prepared_modifiers(modifiers), message, target};
	if (Shortcut* existing = _FindShortcut(key, modifiers)) {
		delete existing->message;
		*existing = shortcut;
		return;
	}
	try {
		fShortcuts.push_back(shortcut);
	} catch (const std::bad_alloc&) {
		fputs("BWindow::AddShortcut: out of memory\n", stderr);
		delete message;
	}
}


void
BWindow::RemoveShortcut(uint32 key, uint32 modifiers)
{
	if (!_CheckLock("RemoveShortcut"))
		return;
	Shortcut* shortcut = _FindShortcut(key, modifiers);
	if (shortcut == NULL)
		return;
	delete shortcut->message;
	fShortcuts.erase(fShortcuts.begin() + (shortcut - fShortcuts.data()));
}


bool
BWindow::HasShortcut(uint32 key, uint32 modifiers)
{
	return _FindShortcut(key, modifiers) != NULL;
}


BRect
BWindow::Frame() const
{
	return fFrame;
}


BRect
BWindow::Bounds() const
{
	return BRect(0, 0, fFrame.Width(), fFrame.Height());
}


void
BWindow::MoveTo(BPoint where)
{
	MoveTo(where.x, where.y);
}


void
BWindow::MoveTo(float x, float y)
{
	if (!_CheckLock("MoveTo"))
		return;
	fFrame.OffsetTo(x, y);
	if (fSurface != NULL)
		fSurface->FrameChanged();
	_RequestUpdate();
}


void
BWindow::ResizeTo(float width, float height)
{
	if (!_CheckLock("ResizeTo") || width < 0 || height < 0)
		return;
	fFrame.right = fFrame.left + width;
	fFrame.bottom = fFrame.top + height;
	if (fTopView != NULL) {
		fTopView->fFrame = Bounds();
		fTopView->Invalidate();
	}
	if (fSurface != NULL)
		fSurface->FrameChanged();
	_RequestUpdate();
}


BPoint
BWindow::ConvertToScreen(BPoint point) const
{
	return point + fFrame.LeftTop();
}


BRect
BWindow::ConvertToScreen(BRect rect) const
{
	return rect.OffsetByCopy(fFrame.LeftTop());
}


const char*
BWindow::Title() const
{
	return fTitle != NULL ? fTitle : "";
}


window_type
BWindow::Type() const
{
	return fType;
}


status_t
BWindow::SetLook(window_look look)
{
	if (!is_valid_look(look))
		return B_BAD_VALUE;
	if (!_CheckLock("SetLook"))
		return B_NOT_ALLOWED;
	fLook = look;
	if (fSurface != NULL)
		fSurface->FrameChanged();
	_RequestUpdate();
	return B_OK;
}


window_look
BWindow::Look() const
{
	return fLook;
}


window_feel
BWindow::Feel() const
{
	return fFeel;
}


uint32
BWindow::Flags() const
{
	return fFlags;
}


status_t
BWindow::SetFlags(uint32 flags)
{
	if (!_CheckLock("SetFlags"))
		return B_NOT_ALLOWED;
	fFlags = flags;
	if (fSurface != NULL)
		fSurface->FrameChanged();
	_RequestUpdate();
	return B_OK;
}


uint32
BWindow::Workspaces() const
{
	return fWorkspaces;
}


int
BWindow::EventDescriptor()
{
	return fSurface != NULL ? fSurface->EventDescriptor() : -1;
}


void
BWindow::DispatchEvents()
{
	if (fSurface == NULL)
		return;

	fSurface->DispatchEvents();

	std::vector<BView*> changed;
	changed.swap(fChanged);
	fSurface->Update(changed);
}


void
BWindow::_InitData(BRect frame, const char* title, window_look look,
		window_feel feel, uint32 flags, uint32 workspace)
{
	fInitStatus = B_OK;
	fTitle = strdup(title != NULL ? title : "");
	fType = compose_type(look, feel);
	fLook = look;
	fFeel = feel;
	fFlags = flags;
	// Windows live on the one workspace there is.
	fWorkspaces = workspace == B_CURRENT_WORKSPACE ? 1 : workspace;
	fFrame = frame;
	fTopView = NULL;
	fSurface = NULL;
	fFocus = NULL;
	fMouseView = NULL;
	fDrawingView = NULL;
	fUpdatePending = false;
	fHidden = true;
	fLoopStarted = false;

	if (fTitle == NULL) {
		fInitStatus = B_NO_MEMORY;
		return;
	}

	fTopView = new (std::nothrow)
			BView(Bounds(), NULL, B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
	if (fTopView == NULL) {
		fInitStatus = B_NO_MEMORY;
		return;
	}
	fTopView->SetViewColor(kPanelColor);
	fTopView->_Attach(this);

	fSurface = BPrivate::WindowSurface::Create(this);
	if (fSurface == NULL)
		fInitStatus = B_NO_MEMORY;

	BPrivate::add_window(this);
}


BWindow::Shortcut*
BWindow::_FindShortcut(uint32 key, uint32 modifiers)
{
	key = prepared_key(key);
	modifiers = prepared_modifiers(modifiers);
	for (Shortcut& shortcut : fShortcuts) {
		if (shortcut.key == key && shortcut.modifiers == modifiers)
			return &shortcut;
	}
	return NULL;
}


bool
BWindow::_TakesKeys() const
{
	return fFocus != NULL || !fShortcuts.empty();
}


bool
BWindow::_CheckLock(const char* operation) const
{
	if (IsLocked())
		return true;
	fprintf(stderr, "BWindow::%s: lock the window \"%s\" first\n", operation,
			Title());
	return false;
}


bool
BWindow::_OnOwnThread() const
{
	return fLoopStarted && Thread() == find_thread(NULL);
}


void
BWindow::_RequestUpdate()
{
	// The window's own thread draws at the end of its turn anyway.
	if (!fLoopStarted || _OnOwnThread() || fUpdatePending)
		return;
	if (PostMessage(kUpdateWindow) == B_OK)
		fUpdatePending = true;
}


void
BWindow::_Invalidate(BView* view)
{
	if (fHidden || fSurface == NULL || !_CheckLock("Invalidate"))
		return;
	fSurface->Invalidated(view);
	if (std::find(fChanged.begin(), fChanged.end(), view) == fChanged.end()) {
		try {
			fChanged.push_back(view);
		} catch (const std::bad_alloc&) {
			// Drawn with the next change that finds room.
			return;
		}
	}
	_RequestUpdate();
}


void
BWindow::_ViewDetached(BView* view)
{
	fChanged.erase(std::remove(fChanged.begin(), fChanged.end(), view),
			fChanged.end());
	if (fFocus == view)
		fFocus = NULL;
	if (fMouseView == view)
		fMouseView = NULL;
	if (fDrawingView == view)
		fDrawingView = NULL;
}


void
BWindow::_SetFocus(BView* view, bool focus)
{
	if (focus)
		fFocus = view;
	else if (fFocus == view)
		fFocus = NULL;
}
