/*
 * BView: a rectangle of a window that draws itself and may hold further
 * views. A view belongs to its parent once added and is deleted with it;
 * once the parent belongs to a window, the window's lock guards the view.
 */
#ifndef _VIEW_H
#define _VIEW_H

#include <Font.h>
#include <GraphicsDefs.h>
#include <Handler.h>
#include <InterfaceDefs.h>
#include <Point.h>
#include <Rect.h>

#include <vector>

class BWindow;

namespace BPrivate {
class WindowSurface;
}

// Resizing modes: which edges of its parent a view follows. Each is a rule
// of four nibbles (top, left, bottom, right edge), as on the platform.
#define _VIEW_TOP_ 1UL
#define _VIEW_LEFT_ 2UL
#define _VIEW_BOTTOM_ 3UL
#define _VIEW_RIGHT_ 4UL
#define _VIEW_CENTER_ 5UL
#define _rule_(top, left, bottom, right)                                       \
	(((top) << 12) | ((left) << 8) | ((bottom) << 4) | (right))

const uint32 B_FOLLOW_NONE = 0;
const uint32 B_FOLLOW_ALL_SIDES
		= _rule_(_VIEW_TOP_, _VIEW_LEFT_, _VIEW_BOTTOM_, _VIEW_RIGHT_);
const uint32 B_FOLLOW_ALL = B_FOLLOW_ALL_SIDES;
const uint32 B_FOLLOW_LEFT = _rule_(0, _VIEW_LEFT_, 0, _VIEW_LEFT_);
const uint32 B_FOLLOW_RIGHT = _rule_(0, _VIEW_RIGHT_, 0, _VIEW_RIGHT_);
const uint32 B_FOLLOW_LEFT_RIGHT = _rule_(0, _VIEW_LEFT_, 0, _VIEW_RIGHT_);
const uint32 B_FOLLOW_H_CENTER = _rule_(0, _VIEW_CENTER_, 0, _VIEW_CENTER_);
const uint32 B_FOLLOW_TOP = _rule_(_VIEW_TOP_, 0, _VIEW_TOP_, 0);
const uint32 B_FOLLOW_BOTTOM = _rule_(_VIEW_BOTTOM_, 0, _VIEW_BOTTOM_, 0);
const uint32 B_FOLLOW_TOP_BOTTOM = _rule_(_VIEW_TOP_, 0, _VIEW_BOTTOM_, 0);
const uint32 B_FOLLOW_V_CENTER = _rule_(_VIEW_CENTER_, 0, _VIEW_CENTER_, 0);
const uint32 B_FOLLOW_LEFT_TOP = B_FOLLOW_LEFT | B_FOLLOW_TOP;

// View flags. Only a view with B_WILL_DRAW has its Draw() called; the rest
// are kept for the caller.
const uint32 B_FULL_UPDATE_ON_RESIZE = 0x80000000UL;
const uint32 B_WILL_DRAW = 0x20000000UL;
const uint32 B_PULSE_NEEDED = 0x10000000UL;
const uint32 B_NAVIGABLE_JUMP = 0x08000000UL;
const uint32 B_FRAME_EVENTS = 0x04000000UL;
const uint32 B_NAVIGABLE = 0x02000000UL;

class BView : public BHandler {
public:
	// The frame is in the parent's coordinates; the view's own
	// coordinates start at 0, 0 in its left top corner.
	BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
	// Deletes the children. A view that still has a parent leaves it first.
	virtual ~BView();

	// Hooks, called with the window locked; Draw(), KeyDown(),
	// MouseDown() and MouseUp() on the window's thread. Coordinates are
	// the view's own.
	virtual void AttachedToWindow();
	virtual void DetachedFromWindow();
	virtual void Draw(BRect updateRect);
	virtual void KeyDown(const char* bytes, int32 numBytes);
	virtual void MouseDown(BPoint where);
	virtual void MouseUp(BPoint where);

	// The child goes in front of before (last, on top of all others, when
	// NULL); from then on this view owns it. A view that belongs to a
	// window is changed only with the window locked.
	void AddChild(BView* child, BView* before = NULL);
	// Hands the child back to the caller, who then owns it.
	bool RemoveChild(BView* child);
	bool RemoveSelf();
	int32 CountChildren() const;
	BView* ChildAt(int32 index) const;
	// NULL for a view added to the window itself.
	BView* Parent() const;
	BWindow* Window() const;
	// This view or the first of its descendants with that name.
	BView* FindView(const char* name) const;

	BRect Frame() const;
	BRect Bounds() const;
	void MoveTo(BPoint where);
	void MoveTo(float x, float y);
	void ResizeTo(float width, float height);
	BPoint ConvertToParent(BPoint point) const;
	BRect ConvertToParent(BRect rect) const;
	// Only for a view in a window.
	BPoint ConvertToScreen(BPoint point) const;
	BRect ConvertToScreen(BRect rect) const;

	uint32 ResizingMode() const;
	uint32 Flags() const;
	void SetFlags(uint32 flags);

	// The high colour draws lines, shapes and text, the low colour lies
	// behind text, the view colour fills the view before Draw().
	void SetHighColor(rgb_color color);
	void SetHighColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255);
	rgb_color HighColor() const;
	void SetLowColor(rgb_color color);
	void SetLowColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255);
	rgb_color LowColor() const;
	void SetViewColor(rgb_color color);
	void SetViewColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255);
	rgb_color ViewColor() const;

	// The focus view of its window receives the keys.
	virtual void MakeFocus(bool focus = true);

	// Asks the window to draw the view again; the window's thread does.
	void Invalidate();

	// Drawing, in the view's coordinates and its high colour. Only from
	// Draw(): elsewhere they draw nothing.
	void FillRect(BRect rect);
	void StrokeRect(BRect rect);
	void StrokeLine(BPoint start, BPoint end);
	// The location is the left end of the text's base line.
	void DrawString(const char* string, BPoint location);
	void DrawString(const char* string, int32 length, BPoint location);

	// Metrics of the display's font.
	float StringWidth(const char* string) const;
	float StringWidth(const char* string, int32 length) const;
	void GetFontHeight(font_height* height) const;
	// The size in pixels that the view's text is drawn and measured in.
	void SetFontSize(float size);

private:
	friend class BWindow;

	BView(const BView&) = delete;
	BView& operator=(const BView&) = delete;

	void _Attach(BWindow* window);
	void _Detach();
	bool _CheckLock(const char* operation) const;
	// The window's surface while this view draws, else NULL.
	BPrivate::WindowSurface* _DrawingSurface() const;

	BRect fFrame;
	uint32 fResizingMode;
	float fFontSize;
	uint32 fFlags;
	rgb_color fHighColor;
	rgb_color fLowColor;
	rgb_color fViewColor;
	BView* fParent;
	BWindow* fOwner;
	std::vector<BView*> fChildren;
};

#endif // _VIEW_H
