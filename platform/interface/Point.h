/*
 * BPoint: a point in a view's, a window's or the screen's coordinates.
 */
#ifndef _POINT_H
#define _POINT_H

class BPoint {
public:
	float x;
	float y;

	BPoint()
		: x(0)
		, y(0)
	{
	}

	BPoint(float x, float y)
		: x(x)
		, y(y)
	{
	}

	void
	Set(float newX, float newY)
	{
		x = newX;
		y = newY;
	}

	BPoint
	operator+(const BPoint& other) const
	{
		return BPoint(x + other.x, y + other.y);
	}

	BPoint
	operator-(const BPoint& other) const
	{
		return BPoint(x - other.x, y - other.y);
	}

	BPoint&
	operator+=(const BPoint& other)
	{
		x += other.x;
		y += other.y;
		return *this;
	}

	bool
	operator==(const BPoint& other) const
	{
		return x == other.x && y == other.y;
	}

	bool
	operator!=(const BPoint& other) const
	{
		return !(*this == other);
	}
};

#endif // _POINT_H
