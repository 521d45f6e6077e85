/*
 * BBox: a view that frames the views it holds with a border.
 */
#ifndef _BOX_H
#define _BOX_H

#include <InterfaceDefs.h>
#include <View.h>

class BBox : public BView {
public:
	BBox(BRect frame, const char* name = NULL,
			uint32 resizingMode = B_FOLLOW_LEFT_TOP,
			uint32 flags = B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP,
			border_style border = B_FANCY_BORDER);
	virtual ~BBox();


	// B_PLAIN_BORDER: a raised edge of one pixel; B_FANCY_BORDER: a groove
	// of two, shades of the view colour.
	border_style Border() const;
	virtual void Draw(BRect updateRect);

private:
	border_style fBorder;
};

#endif // _BOX_H
