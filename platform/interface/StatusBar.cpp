/*
 * BStatusBar.
 */
#include <StatusBar.h>

#include <interface/utf8.h>
#include <InterfaceDefs.h>

#include <math.h>
#include <string.h>

#include <new>
#include <vector>


namespace {

const rgb_color kDefaultBarColor = {50, 150, 255, 255};
const float kDefaultBarHeight = 16;
const rgb_color kTextColor = {0, 0, 0, 255};
// Between the texts and the bar, and between the two texts at least.
const float kTextToBar = 3;
const float kTextGap = 8;
// The block of a bar without a maximum: a fifth of the bar, in eight
// places from one end to the other.
const float kBlockShare = 0.2f;
const int32 kBlockPlaces = 8;
const char kEllipsis[] = "\xE2\x80\xA6";


// Copies text unless it is NULL; false when it changed nothing.
bool
assign(std::string& field, const char* text)
{
	if (text == NULL || field == text)
		return false;
	try {
		field = text;
	} catch (const std::bad_alloc&) {
		return false;
	}
	return true;
}


// The label and the text with a space between them where both are there.
std::string
joined(const std::string& first, const std::string& second)
{
	if (first.empty() || second.empty())
		return first + second;
	return first + " " + second;
}

} // namespace


BStatusBar::BStatusBar(BRect frame, const char* name, const char* label,
		const char* trailingLabel)
	: BView(frame, name, B_FOLLOW_LEFT_TOP, B_WILL_DRAW)
	, fMax(100)
	, fCurrent(0)
	, fBarHeight(kDefaultBarHeight)
	, fBarColor(kDefaultBarColor)
	, fStep(0)
{
	assign(fLabel, label);
	assign(fTrailingLabel, trailingLabel);
}


BStatusBar::~BStatusBar()
{
}


void
BStatusBar::SetBarColor(rgb_color color)
{
	if (color == fBarColor)
		return;
	fBarColor = color;
	Invalidate();
}


void
BStatusBar::SetBarHeight(float height)
{
	if (height <= 0 || height == fBarHeight)
		return;
	fBarHeight = height;
	Invalidate();
}


void
BStatusBar::SetText(const char* string)
{
	if (assign(fText, string != NULL ? string : ""))
		Invalidate();
}


void
BStatusBar::SetTrailingText(const char* string)
{
	if (assign(fTrailingText, string != NULL ? string : ""))
		Invalidate();
}


void
BStatusBar::SetMaxValue(float max)
{
	if (max < 0)
		max = 0;
	if (max == fMax)
		return;
	fMax = max;
	if (fMax > 0 && fCurrent > fMax)
		fCurrent = fMax;
	Invalidate();
}


void
BStatusBar::Update(float delta, const char* text, const char* trailingText)
{
	SetTo(fCurrent + delta, text, trailingText);
}


void
BStatusBar::Reset(const char* label, const char* trailingLabel)
{
	fCurrent = 0;
	fStep = 0;
	fText.clear();
	fTrailingText.clear();
	fLabel.clear();
	fTrailingLabel.clear();
	assign(fLabel, label);
	assign(fTrailingLabel, trailingLabel);
	Invalidate();
}


void
BStatusBar::SetTo(float value, const char* text, const char* trailingText)
{
	if (value < 0)
		value = 0;
	if (fMax > 0 && value > fMax)
		value = fMax;
	bool changed = value != fCurrent;
	if (changed && fMax == 0)
		fStep++;
	fCurrent = value;
	changed |= assign(fText, text);
	changed |= assign(fTrailingText, trailingText);
	if (changed)
		Invalidate();
}


float
BStatusBar::CurrentValue() const
{
	return fCurrent;
}


float
BStatusBar::MaxValue() const
{
	return fMax;
}


rgb_color
BStatusBar::BarColor() const
{
	return fBarColor;
}


float
BStatusBar::BarHeight() const
{
	return fBarHeight;
}


const char*
BStatusBar::Text() const
{
	return fText.c_str();
}


const char*
BStatusBar::TrailingText() const
{
	return fTrailingText.c_str();
}


const char*
BStatusBar::Label() const
{
	return fLabel.c_str();
}


const char*
BStatusBar::TrailingLabel() const
{
	return fTrailingLabel.c_str();
}


void
BStatusBar::Draw(BRect updateRect)
{
	(void)updateRect;
	font_height height;
	GetFontHeight(&height);
	try {
		_DrawTexts(ceilf(height.ascent));
	} catch (const std::bad_alloc&) {
		// The bar is drawn all the same.
	}

	// A sunken frame, and inside it the part done in the bar's colour.
	BRect bar = _BarFrame();
	if (!bar.IsValid())
		return;
	rgb_color base = ViewColor();
	SetHighColor(tint_color(base, B_DARKEN_2_TINT));
	StrokeLine(bar.LeftBottom(), bar.LeftTop());
	StrokeLine(bar.LeftTop(), bar.RightTop());
	SetHighColor(tint_color(base, B_LIGHTEN_MAX_TINT));
	StrokeLine(BPoint(bar.left + 1, bar.bottom), bar.RightBottom());
	StrokeLine(bar.RightBottom(), BPoint(bar.right, bar.top + 1));

	BRect inside = bar.InsetByCopy(1, 1);
	if (!inside.IsValid())
		return;
	SetHighColor(tint_color(base, B_LIGHTEN_2_TINT));
	FillRect(inside);
	SetHighColor(fBarColor);
	float width = inside.Width() + 1;
	if (fMax > 0) {
		float done = floorf(width * fCurrent / fMax);
		if (done >= 1)
			FillRect(BRect(inside.left, inside.top, inside.left + done - 1,
					inside.bottom));
		return;
	}
	int32 place = fStep % (2 * (kBlockPlaces - 1));
	if (place >= kBlockPlaces)
		place = 2 * (kBlockPlaces - 1) - place;
	float block = floorf(width * kBlockShare);
	float left = inside.left
			+ floorf((width - block) * place / (kBlockPlaces - 1));
	FillRect(BRect(left, inside.top, left + block - 1, inside.bottom));
}


BRect
BStatusBar::_BarFrame() const
{
	font_height height;
	GetFontHeight(&height);
	BRect bounds = Bounds();
	float top = ceilf(height.ascent + height.descent) + kTextToBar;
	float bottom = fminf(top + fBarHeight - 1, bounds.bottom);
	return BRect(bounds.left, top, bounds.right, bottom);
}


void
BStatusBar::_DrawTexts(float baseline)
{
	std::string leading = joined(fLabel, fText);
	std::string trailing = joined(fTrailingText, fTrailingLabel);
	float room = Bounds().Width() + 1;
	SetHighColor(kTextColor);
	SetLowColor(ViewColor());

	// The leading text, cut at its end where it is too wide.
	int32 length = static_cast<int32>(leading.size());
	float leadingWidth = StringWidth(leading.c_str(), length);
	if (leadingWidth > room) {
		float ellipsis = StringWidth(kEllipsis);
		int32 fits = 0;
		char32_t character;
		while (fits < length) {
			int32 next = fits
					+ BPrivate::next_character(
							leading.c_str() + fits, length - fits, &character);
			if (StringWidth(leading.c_str(), next) + ellipsis > room)
				break;
			fits = next;
		}
		DrawString(leading.c_str(), fits, BPoint(0, baseline));
		DrawString(kEllipsis,
				BPoint(StringWidth(leading.c_str(), fits), baseline));
		return;
	}
	DrawString(leading.c_str(), length, BPoint(0, baseline));

	// The trailing text in what is left, cut at its start, so that the end
	// of a path (the file's own name) stays in sight.
	float left = leading.empty() ? 0 : leadingWidth + kTextGap;
	const char* text = trailing.c_str();
	int32 size = static_cast<int32>(trailing.size());
	if (size == 0)
		return;
	float width = StringWidth(text, size);
	if (left + width <= room) {
		DrawString(text, size, BPoint(room - width, baseline));
		return;
	}
	// The first character from which the rest fits: what is left of the
	// text only narrows as the cut moves on, so the starts of its
	// characters are searched by halves, not measured one by one.
	float ellipsis = StringWidth(kEllipsis);
	std::vector<int32> starts;
	char32_t character;
	for (int32 at = 0; at < size;) {
		starts.push_back(at);
		at += BPrivate::next_character(text + at, size - at, &character);
	}
	size_t low = 0;
	size_t high = starts.size();
	while (low < high) {
		size_t middle = low + (high - low) / 2;
		int32 at = starts[middle];
		if (left + ellipsis + StringWidth(text + at, size - at) > room)
			low = middle + 1;
		else
			high = middle;
	}
	if (low >= starts.size())
		return;
	int32 start = starts[low];
	width = ellipsis + StringWidth(text + start, size - start);
	DrawString(kEllipsis, BPoint(room - width, baseline));
	DrawString(text + start, size - start,
			BPoint(room - width + ellipsis, baseline));
}
