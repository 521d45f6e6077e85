/*
 * BStatusBar: a bar that fills as a task goes on, with a line of text above
 * it: at the left its label and then its text, at the right its trailing
 * text and then its trailing label. The labels stay as they are made
 * (Reset changes them); the texts change with the value.
 *
 * A bar whose maximum is 0 knows no end yet: it shows a block that moves a
 * step along the bar, back and forth, whenever the value changes.
 */
#ifndef _STATUS_BAR_H
#define _STATUS_BAR_H

#include <View.h>

#include <string>

class BStatusBar : public BView {
public:
	BStatusBar(BRect frame, const char* name, const char* label = NULL,
			const char* trailingLabel = NULL);
	virtual ~BStatusBar();

	virtual void Draw(BRect updateRect);

	virtual void SetBarColor(rgb_color color);
	virtual void SetBarHeight(float height);

	virtual void SetText(const char* string);
	virtual void SetTrailingText(const char* string);
	// A negative maximum counts as 0.
	virtual void SetMaxValue(float max);

	// Adds delta to the value; NULL texts stay as they are.
	virtual void Update(float delta, const char* text = NULL,
			const char* trailingText = NULL);
	// Back to 0, the texts empty, the labels these.
	virtual void Reset(
			const char* label = NULL, const char* trailingLabel = NULL);
	// The value, at most the maximum where there is one; NULL texts stay as
	// they are. One redraw for all that changed.
	virtual void SetTo(float value, const char* text = NULL,
			const char* trailingText = NULL);

	float CurrentValue() const;
	float MaxValue() const;
	rgb_color BarColor() const;
	float BarHeight() const;

	const char* Text() const;
	const char* TrailingText() const;
	const char* Label() const;
	const char* TrailingLabel() const;

private:
	BRect _BarFrame() const;
	void _DrawTexts(float baseline);

	std::string fLabel;
	std::string fTrailingLabel;
	std::string fText;
	std::string fTrailingText;
	float fMax;
	float fCurrent;
	float fBarHeight;
	rgb_color fBarColor;
	// Where the block of a bar without a maximum stands.
	int32 fStep;
};

#endif // _STATUS_BAR_H
