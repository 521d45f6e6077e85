/*
 * BView: the view tree and its colours; its drawing is in ViewDrawing.cpp.
 */
#include <View.h>

#include <Window.h>

#include <interface/window_surface.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>


namespace {

const rgb_color kDefaultHighColor = {0, 0, 0, 255};
const rgb_color kDefaultLowColor = {255, 255, 255, 255};
const rgb_color kDefaultViewColor = {255, 255, 255, 255};

} // namespace


BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
	: BHandler(name)
	, fFrame(frame)
	, fResizingMode(resizingMode)
	, fFontSize(kPlainFontSize)
	, fFlags(flags)
	, fHighColor(kDefaultHighColor)
	, fLowColor(kDefaultLowColor)
	, fViewColor(kDefaultViewColor)
	, fParent(NULL)
	, fOwner(NULL)
{
}


BView::~BView()
{
	if (fParent != NULL)
		RemoveSelf();

	// The children go without a parent first, so that none of them tries
	// to leave this half-destroyed view on its own.
	std::vector<BView*> children;
	children.swap(fChildren);
	for (BView* child : children) {
		child->fParent = NULL;
		delete child;
	}
}


void
BView::AttachedToWindow()
{
}


void
BView::DetachedFromWindow()
{
}


void
BView::Draw(BRect updateRect)
{
	(void)updateRect;
}


void
BView::KeyDown(const char* bytes, int32 numBytes)
{
	(void)bytes;
	(void)numBytes;
}


void
BView::MouseDown(BPoint where)
{
	(void)where;
}


void
BView::MouseUp(BPoint where)
{
	(void)where;
}


void
BView::AddChild(BView* child, BView* before)
{
	if (child == NULL || child == this)
		return;
	if (child->fParent != NULL || child->fOwner != NULL) {
		fprintf(stderr, "BView::AddChild: \"%s\" already has a parent\n",
				child->Name() != NULL ? child->Name() : "");
		return;
	}
	if (!_CheckLock("AddChild"))
		return;

	auto position = std::find(fChildren.begin(), fChildren.end(), before);
	try {
		fChildren.insert(position, child);
	} catch (const std::bad_alloc&) {
		fprintf(stderr, "BView::AddChild: out of memory\n");
		return;
	}
	child->fParent = this;
	if (fOwner != NULL) {
		child->_Attach(fOwner);
		child->Invalidate();
	}
}


bool
BView::RemoveChild(BView* child)
{
	if (child == NULL || child->fParent != this || !_CheckLock("RemoveChild"))
		return false;

	if (fOwner != NULL) {
		child->_Detach();
		Invalidate();
	}
	fChildren.erase(std::find(fChildren.begin(), fChildren.end(), child));
	child->fParent = NULL;
	return true;
}


bool
BView::RemoveSelf()
{
	if (fParent == NULL)
		return false;
	return fParent->RemoveChild(this);
}


int32
BView::CountChildren() const
{
	return static_cast<int32>(fChildren.size());
}


BView*
BView::ChildAt(int32 index) const
{
	if (index < 0 || static_cast<size_t>(index) >= fChildren.size())
		return NULL;
	return fChildren[index];
}


BView*
BView::Parent() const
{
	// The window's own root view stays out of sight.
	if (fParent != NULL && fOwner != NULL && fParent == fOwner->fTopView)
		return NULL;
	return fParent;
}


BWindow*
BView::Window() const
{
	return fOwner;
}


BView*
BView::FindView(const char* name) const
{
	if (name == NULL)
		return NULL;
	if (Name() != NULL && strcmp(Name(), name) == 0)
		return const_cast<BView*>(this);
	for (BView* child : fChildren) {
		BView* found = child->FindView(name);
		if (found != NULL)
			return found;
	}
	return NULL;
}


BRect
BView::Frame() const
{
	return fFrame;
}


BRect
BView::Bounds() const
{
	return BRect(0, 0, fFrame.Width(), fFrame.Height());
}


void
BView::MoveTo(BPoint where)
{
	MoveTo(where.x, where.y);
}


void
BView::MoveTo(float x, float y)
{
	if (!_CheckLock("MoveTo"))
		return;
	Invalidate();
	fFrame.OffsetTo(x, y);
	Invalidate();
}


void
BView::ResizeTo(float width, float height)
{
	if (!_CheckLock("ResizeTo"))
		return;
	Invalidate();
	fFrame.right = fFrame.left + width;
	fFrame.bottom = fFrame.top + height;
	Invalidate();
}


BPoint
BView::ConvertToParent(BPoint point) const
{
	return point + fFrame.LeftTop();
}


BRect
BView::ConvertToParent(BRect rect) const
{
	return rect.OffsetByCopy(fFrame.LeftTop());
}


BPoint
BView::ConvertToScreen(BPoint point) const
{
	if (fOwner == NULL) {
		fprintf(stderr, "BView::ConvertToScreen: \"%s\" is in no window\n",
				Name() != NULL ? Name() : "");
		return point;
	}
	for (const BView* view = this; view != NULL; view = view->fParent)
		point = view->ConvertToParent(point);
	return fOwner->ConvertToScreen(point);
}


BRect
BView::ConvertToScreen(BRect rect) const
{
	BPoint leftTop = ConvertToScreen(rect.LeftTop());
	return rect.OffsetToCopy(leftTop);
}


uint32
BView::Flags() const
{
	return fFlags;
}


void
BView::SetFlags(uint32 flags)
{
	if (flags == fFlags)
		return;
	fFlags = flags;
	Invalidate();
}


void
BView::SetHighColor(rgb_color color)
{
	fHighColor = color;
}


void
BView::SetHighColor(uint8 red, uint8 green, uint8 blue, uint8 alpha)
{
	SetHighColor(make_color(red, green, blue, alpha));
}


rgb_color
BView::HighColor() const
{
	return fHighColor;
}


void
BView::SetLowColor(rgb_color color)
{
	fLowColor = color;
}


void
BView::SetLowColor(uint8 red, uint8 green, uint8 blue, uint8 alpha)
{
	SetLowColor(make_color(red, green, blue, alpha));
}


rgb_color
BView::LowColor() const
{
	return fLowColor;
}


void
BView::SetViewColor(rgb_color color)
{
	if (color == fViewColor)
		return;
	fViewColor = color;
	Invalidate();
}


void
BView::SetViewColor(uint8 red, uint8 green, uint8 blue, uint8 alpha)
{
	SetViewColor(make_color(red, green, blue, alpha));
}


rgb_color
BView::ViewColor() const
{
	return fViewColor;
}


void
BView::MakeFocus(bool focus)
{
	if (fOwner != NULL)
		fOwner->_SetFocus(this, focus);
}


void
BView::Invalidate()
{
	if (fOwner != NULL)
		fOwner->_Invalidate(this);
}


uint32
BView::ResizingMode() const
{
	return fResizingMode;
}


void
BView::_Attach(BWindow* window)
{
	fOwner = window;
	window->AddHandler(this);
	SetNextHandler(fParent != NULL ? static_cast<BHandler*>(fParent)
								   : static_cast<BHandler*>(window));
	AttachedToWindow();
	for (BView* child : fChildren)
		child->_Attach(window);
}


void
BView::_Detach()
{
	for (BView* child : fChildren)
		child->_Detach();
	DetachedFromWindow();
	fOwner->_ViewDetached(this);
	fOwner->RemoveHandler(this);
	fOwner = NULL;
}


bool
BView::_CheckLock(const char* operation) const
{
	if (fOwner == NULL || fOwner->IsLocked())
		return true;
	fprintf(stderr, "BView::%s: lock the window \"%s\" first\n", operation,
			fOwner->Title());
	return false;
}
