/*
 * BStringView: a view that shows one line of text in its high colour over
 * its view colour. The text is shown as given; what does not fit is cut
 * off at the view's edge.
 */
#ifndef _STRING_VIEW_H
#define _STRING_VIEW_H

#include <InterfaceDefs.h>
#include <View.h>

class BStringView : public BView {
public:
	BStringView(BRect frame, const char* name, const char* text,
			uint32 resizingMode = B_FOLLOW_LEFT_TOP,
			uint32 flags = B_WILL_DRAW);
	virtual ~BStringView();

	// Copies the text and draws the view again when it differs. NULL
	// leaves the view empty.
	void SetText(const char* text);
	const char* Text() const;


	virtual void Draw(BRect updateRect);

private:
	char* fText;
};

#endif // _STRING_VIEW_H
