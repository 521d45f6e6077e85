/*
 * BRect.
 */
#include <Rect.h>

#include <math.h>


int32
BRect::IntegerWidth() const
{
	return static_cast<int32>(ceilf(right - left));
}


int32
BRect::IntegerHeight() const
{
	return static_cast<int32>(ceilf(bottom - top));
}


BRect&
BRect::OffsetBy(float dx, float dy)
{
	left += dx;
	right += dx;
	top += dy;
	bottom += dy;
	return *this;
}


BRect&
BRect::OffsetBy(BPoint delta)
{
	return OffsetBy(delta.x, delta.y);
}


BRect&
BRect::OffsetTo(float x, float y)
{
	return OffsetBy(x - left, y - top);
}


BRect&
BRect::OffsetTo(BPoint point)
{
	return OffsetTo(point.x, point.y);
}


BRect&
BRect::InsetBy(float dx, float dy)
{
	left += dx;
	right -= dx;
	top += dy;
	bottom -= dy;
	return *this;
}


BRect
BRect::OffsetByCopy(float dx, float dy) const
{
	BRect copy(*this);
	return copy.OffsetBy(dx, dy);
}


BRect
BRect::OffsetByCopy(BPoint delta) const
{
	return OffsetByCopy(delta.x, delta.y);
}


BRect
BRect::OffsetToCopy(BPoint point) const
{
	BRect copy(*this);
	return copy.OffsetTo(point);
}


BRect
BRect::InsetByCopy(float dx, float dy) const
{
	BRect copy(*this);
	return copy.InsetBy(dx, dy);
}


bool
BRect::Contains(BPoint point) const
{
	return point.x >= left && point.x <= right && point.y >= top
			&& point.y <= bottom;
}


bool
BRect::Contains(BRect rect) const
{
	return rect.IsValid() && rect.left >= left && rect.right <= right
			&& rect.top >= top && rect.bottom <= bottom;
}


bool
BRect::Intersects(BRect rect) const
{
	return IsValid() && rect.IsValid() && (*this & rect).IsValid();
}


BRect
BRect::operator&(BRect other) const
{
	return BRect(fmaxf(left, other.left), fmaxf(top, other.top),
			fminf(right, other.right), fminf(bottom, other.bottom));
}


BRect
BRect::operator|(BRect other) const
{
	return BRect(fminf(left, other.left), fminf(top, other.top),
			fmaxf(right, other.right), fmaxf(bottom, other.bottom));
}


bool
BRect::operator==(BRect other) const
{
	return left == other.left && top == other.top && right == other.right
			&& bottom == other.bottom;
}


bool
BRect::operator!=(BRect other) const
{
	return !(*this == other);
}
