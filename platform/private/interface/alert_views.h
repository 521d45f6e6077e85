/*
 * Inside the interface kit only: the two kinds of views of an alert, its
 * text with the icon beside it and its buttons, and the measures that they
 * share with the alert's layout.
 */
#ifndef _INTERFACE_ALERT_VIEWS_H
#define _INTERFACE_ALERT_VIEWS_H

#include <Alert.h>
#include <View.h>

#include <stdio.h>

#include <vector>

namespace BPrivate {

// The alert's measures, in pixels.
const float kStripeWidth = 30;
const float kIconLeft = 14;
const float kIconSize = 32;
const float kMargin = 10;
const float kTextInset = 12;
const float kTextToButtons = 12;
const float kMinWidth = 310;
const float kMaxTextWidth = 420;
const float kTabWidth = 28;
const float kUsualButtonWidth = 75;
const float kButtonLabelInset = 10;
const float kButtonSpacing = 8;
const float kButtonPadding = 12;

const rgb_color kTextColor = {0, 0, 0, 255};
const rgb_color kButtonFrameColor = {96, 96, 96, 255};
const rgb_color kIconMarkColor = {255, 255, 255, 255};


// The icon of each type of alert: a disc with a mark in it.
struct AlertIcon {
	alert_type type;
	rgb_color color;
	bool exclamation;
};

const AlertIcon kIcons[] = {
		{B_INFO_ALERT, {56, 110, 200, 255}, false},
		{B_IDEA_ALERT, {220, 180, 30, 255}, false},
		{B_WARNING_ALERT, {235, 140, 20, 255}, true},
		{B_STOP_ALERT, {200, 40, 40, 255}, true},
};


// One word of the text, placed.
struct AlertPiece {
	int32 offset;
	int32 length;
	float x;
	int32 line;
};


// The alert's background: the stripe at its left with the icon, and the
// text. It holds the focus, so Enter comes here.
class AlertView : public BView {
public:
	AlertView(BAlert* alert)
		: BView(BRect(0, 0, 0, 0), "TextView", B_FOLLOW_ALL_SIDES, B_WILL_DRAW)
		, fAlert(alert)
		, fText("")
		, fTextLeft(kMargin)
		, fTextTop(kMargin)
		, fLineHeight(0)
		, fAscent(0)
		, fIcon(NULL)
	{
	}

	// Places the words of text, lines at most maxWidth wide; returns the
	// width and the height that they take.
	BRect LayOut(const char* text, float maxWidth);

	void
	SetPlacement(float textLeft, float textTop, const AlertIcon* icon)
	{
		fTextLeft = textLeft;
		fTextTop = textTop;
		fIcon = icon;
	}

	virtual void Draw(BRect updateRect);
	virtual void KeyDown(const char* bytes, int32 numBytes);

private:
	void _AddPiece(int32 offset, int32 length, float x, int32 line);
	void _DrawIcon();

	BAlert* fAlert;
	const char* fText;
	std::vector<AlertPiece> fPieces;
	float fTextLeft;
	float fTextTop;
	float fLineHeight;
	float fAscent;
	const AlertIcon* fIcon;
};


class AlertButton : public BView {
public:
	AlertButton(BAlert* alert, int32 index, const char* label, bool isDefault)
		: BView(BRect(0, 0, 0, 0), NULL, B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
				B_WILL_DRAW)
		, fAlert(alert)
		, fIndex(index)
		, fLabel(label)
		, fDefault(isDefault)
		, fPressed(false)
	{
		// Named as the platform names an alert's buttons.
		char name[16];
		snprintf(name, sizeof(name), "_b%d_", static_cast<int>(index));
		SetName(name);
	}

	virtual void Draw(BRect updateRect);
	virtual void MouseDown(BPoint where);
	virtual void MouseUp(BPoint where);

private:
	BAlert* fAlert;
	int32 fIndex;
	const char* fLabel;
	bool fDefault;
	bool fPressed;
};

} // namespace BPrivate

#endif // _INTERFACE_ALERT_VIEWS_H
