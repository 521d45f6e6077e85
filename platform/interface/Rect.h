/*
 * BRect: a rectangle given by its left, top, right and bottom edges. The
 * edges are inclusive: BRect(0, 0, 9, 4) covers 10 by 5 pixels, and its
 * Width() is 9.
 */
#ifndef _RECT_H
#define _RECT_H

#include <Point.h>
#include <SupportDefs.h>

class BRect {
public:
	float left;
	float top;
	float right;
	float bottom;

	// An invalid rectangle: its right edge lies left of its left one.
	BRect()
		: left(0)
		, top(0)
		, right(-1)
		, bottom(-1)
	{
	}

	BRect(float left, float top, float right, float bottom)
		: left(left)
		, top(top)
		, right(right)
		, bottom(bottom)
	{
	}

	BRect(BPoint leftTop, BPoint rightBottom)
		: left(leftTop.x)
		, top(leftTop.y)
		, right(rightBottom.x)
		, bottom(rightBottom.y)
	{
	}

	void
	Set(float newLeft, float newTop, float newRight, float newBottom)
	{
		left = newLeft;
		top = newTop;
		right = newRight;
		bottom = newBottom;
	}

	BPoint
	LeftTop() const
	{
		return BPoint(left, top);
	}
	BPoint
	RightBottom() const
	{
		return BPoint(right, bottom);
	}
	BPoint
	LeftBottom() const
	{
		return BPoint(left, bottom);
	}
	BPoint
	RightTop() const
	{
		return BPoint(right, top);
	}

	float
	Width() const
	{
		return right - left;
	}
	float
	Height() const
	{
		return bottom - top;
	}
	// The number of pixels across, less one, as the platform counts.
	int32 IntegerWidth() const;
	int32 IntegerHeight() const;

	bool
	IsValid() const
	{
		return left <= right && top <= bottom;
	}

	BRect& OffsetBy(float dx, float dy);
	BRect& OffsetBy(BPoint delta);
	BRect& OffsetTo(float x, float y);
	BRect& OffsetTo(BPoint point);
	BRect& InsetBy(float dx, float dy);
	BRect OffsetByCopy(float dx, float dy) const;
	BRect OffsetByCopy(BPoint delta) const;
	BRect OffsetToCopy(BPoint point) const;
	BRect InsetByCopy(float dx, float dy) const;

	bool Contains(BPoint point) const;
	bool Contains(BRect rect) const;
	bool Intersects(BRect rect) const;

	// The intersection and the smallest rectangle holding both.
	BRect operator&(BRect other) const;
	BRect operator|(BRect other) const;

	bool operator==(BRect other) const;
	bool operator!=(BRect other) const;
};

#endif // _RECT_H
