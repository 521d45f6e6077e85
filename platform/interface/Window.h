/*
 * BWindow: a window on the screen with its views, and the looper that runs
 * its messages and draws it. A window is made hidden and locked by the
 * thread that makes it; Show() puts it on screen and starts its thread,
 * which from then on draws it and receives its keys and clicks. Any other
 * thread changes it or its views only with the window locked.
 *
 * With a display (DISPLAY set and its server reachable) the window is a
 * window of the X server. Without one it is drawn as lines on standard
 * error: its title and texts when it is shown and a text when it changes.
 */
#ifndef _WINDOW_H
#define _WINDOW_H

#include <Looper.h>
#include <Point.h>
#include <Rect.h>
#include <SupportDefs.h>

#include <vector>

class BView;

namespace BPrivate {
class WindowSurface;
}

enum window_type {
	B_UNTYPED_WINDOW = 0,
	B_TITLED_WINDOW = 1,
	B_MODAL_WINDOW = 3,
	B_DOCUMENT_WINDOW = 11,
	B_BORDERED_WINDOW = 20,
	B_FLOATING_WINDOW = 21
};

// How the frame around the window is drawn.
enum window_look {
	B_BORDERED_WINDOW_LOOK = 20,
	B_NO_BORDER_WINDOW_LOOK = 19,
	B_TITLED_WINDOW_LOOK = 1,
	B_DOCUMENT_WINDOW_LOOK = 11,
	B_MODAL_WINDOW_LOOK = 3,
	B_FLOATING_WINDOW_LOOK = 7
};

// How the window behaves towards others.
enum window_feel {
	B_NORMAL_WINDOW_FEEL = 0,
	B_MODAL_SUBSET_WINDOW_FEEL = 2,
	B_MODAL_APP_WINDOW_FEEL = 1,
	B_MODAL_ALL_WINDOW_FEEL = 3,
	B_FLOATING_SUBSET_WINDOW_FEEL = 5,
	B_FLOATING_APP_WINDOW_FEEL = 4,
	B_FLOATING_ALL_WINDOW_FEEL = 6
};

// Window flags.
enum {
	B_NOT_MOVABLE = 0x00000001,
	B_NOT_CLOSABLE = 0x00000020,
	B_NOT_ZOOMABLE = 0x00000040,
	B_NOT_MINIMIZABLE = 0x00004000,
	B_NOT_RESIZABLE = 0x00000002,
	B_NOT_H_RESIZABLE = 0x00000004,
	B_NOT_V_RESIZABLE = 0x00000008,
	B_AVOID_FRONT = 0x00000080,
	B_AVOID_FOCUS = 0x00002000,
	B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
	B_OUTLINE_RESIZE = 0x00001000,
	B_NO_WORKSPACE_ACTIVATION = 0x00000100,
	B_NOT_ANCHORED_ON_ACTIVATE = 0x00020000,
	B_ASYNCHRONOUS_CONTROLS = 0x00080000,
	B_QUIT_ON_WINDOW_CLOSE = 0x00100000
};

#define B_CURRENT_WORKSPACE 0
#define B_ALL_WORKSPACES 0xffffffff

class BWindow : public BLooper {
public:
	// The frame is the content area in screen coordinates, edges
	// inclusive. The type gives the look and the feel.
	BWindow(BRect frame, const char* title, window_type type, uint32 flags,
			uint32 workspace = B_CURRENT_WORKSPACE);
	BWindow(BRect frame, const char* title, window_look look, window_feel feel,
			uint32 flags, uint32 workspace = B_CURRENT_WORKSPACE);
	// Only Quit() deletes a window; it deletes the views with it.
	virtual ~BWindow();

	status_t InitCheck() const;

	// With the window locked: hides and deletes it, and ends its thread.
	virtual void Quit();
	// A close request of the window's frame asks this; true quits.
	virtual bool QuitRequested();

	virtual void DispatchMessage(BMessage* message, BHandler* handler);
	virtual void MessageReceived(BMessage* message);

	// The first Show() starts the window's thread.
	virtual void Show();
	virtual void Hide();
	bool IsHidden() const;

	// The views added to the window itself; it owns them.
	void AddChild(BView* child, BView* before = NULL);
	bool RemoveChild(BView* child);
	int32 CountChildren() const;
	BView* ChildAt(int32 index) const;
	BView* FindView(const char* name) const;
	BView* CurrentFocus() const;

	// A key that sends a copy of message to target (the focus view, or the
	// window when none, where target is NULL) wherever the focus is. The
	// window takes the message. Keys reach a window without their
	// modifiers: only a shortcut of a key alone, B_NO_COMMAND_KEY, is ever
	// pressed. A second shortcut of the same keys replaces the first.
	void AddShortcut(uint32 key, uint32 modifiers, BMessage* message);
	void AddShortcut(
			uint32 key, uint32 modifiers, BMessage* message, BHandler* target);
	void RemoveShortcut(uint32 key, uint32 modifiers);
	bool HasShortcut(uint32 key, uint32 modifiers);

	BRect Frame() const;
	BRect Bounds() const;
	void MoveTo(BPoint where);
	void MoveTo(float x, float y);
	void ResizeTo(float width, float height);
	BPoint ConvertToScreen(BPoint point) const;
	BRect ConvertToScreen(BRect rect) const;

	const char* Title() const;
	// The type the window was made with; SetLook() changes the look, not
	// the type.
	window_type Type() const;
	status_t SetLook(window_look look);
	window_look Look() const;
	window_feel Feel() const;
	uint32 Flags() const;
	status_t SetFlags(uint32 flags);
	uint32 Workspaces() const;

protected:
	virtual int EventDescriptor();
	virtual void DispatchEvents();

private:
	friend class BAlert;
	friend class BView;
	friend class BPrivate::WindowSurface;

	struct Shortcut {
		uint32 key;
		uint32 modifiers;
		BMessage* message;
		BHandler* target;
	};

	void _InitData(BRect frame, const char* title, window_look look,
			window_feel feel, uint32 flags, uint32 workspace);
	// The shortcut of those keys, as the window keeps them, or NULL.
	Shortcut* _FindShortcut(uint32 key, uint32 modifiers);
	// Whether keys are for the window: a focus view, or a shortcut.
	bool _TakesKeys() const;
	bool _CheckLock(const char* operation) const;
	bool _OnOwnThread() const;
	// Wakes the window's thread for what changed; coalesced.
	void _RequestUpdate();

	// For the views.
	void _Invalidate(BView* view);
	void _ViewDetached(BView* view);
	void _SetFocus(BView* view, bool focus);
	BPrivate::WindowSurface* _DrawingSurface(const BView* view) const;
	BPrivate::WindowSurface* _Surface() const;

	// For the surface, on the window's thread.
	void _DrawViews();
	void _DrawView(BView* view, BPoint parentOrigin, BRect clip);
	void _KeyDown(const char* bytes, int32 numBytes);
	void _MouseDown(BPoint where);
	void _MouseUp(BPoint where);
	void _CloseRequested();
	void _FrameMoved(BPoint where);

	status_t fInitStatus;
	char* fTitle;
	window_type fType;
	window_look fLook;
	window_feel fFeel;
	uint32 fFlags;
	uint32 fWorkspaces;
	BRect fFrame;
	BView* fTopView;
	BPrivate::WindowSurface* fSurface;
	BView* fFocus;
	BView* fMouseView;
	BView* fDrawingView;
	std::vector<BView*> fChanged;
	std::vector<Shortcut> fShortcuts;
	bool fUpdatePending;
	bool fHidden;
	bool fLoopStarted;
};

#endif // _WINDOW_H
