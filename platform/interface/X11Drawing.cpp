/*
 * Drawing on a window of the X server: the views draw into a buffer the
 * size of the window, which is copied onto the window when they changed or
 * when the server asks for it.
 */
#include <interface/x11_surface.h>

#include <interface/utf8.h>
#include <InterfaceDefs.h>
#include <Window.h>

#include <new>


namespace BPrivate {

namespace {

// UTF-8 into characters for Xft.
void
decode_utf8(const char* string, int32 length, std::u32string& characters)
{
	characters.clear();
	char32_t character;
	for (int32 i = 0; i < length; characters += character)
		i += next_character(string + i, length - i, &character);
}

} // namespace


void
X11Surface::Invalidated(BView* view)
{
	// Drawn by the window's thread, once for all that changed until then.
	(void)view;
}


void
X11Surface::Update(const std::vector<BView*>& changed)
{
	if (fLost || fXWindow == None)
		return;

	if (!changed.empty())
		_Redraw();
	if (fExposed && fMapped && fBuffer != None) {
		XCopyArea(fDisplay, fBuffer, fXWindow, fGC, 0, 0, fBufferWidth,
				fBufferHeight, 0, 0);
		fExposed = false;
	}
	XFlush(fDisplay);
}


void
X11Surface::SetDrawingArea(BPoint origin, BRect clip)
{
	fOrigin = origin;

	XRectangle rectangle;
	rectangle.x = static_cast<short>(to_pixel(clip.left));
	rectangle.y = static_cast<short>(to_pixel(clip.top));
	rectangle.width = static_cast<unsigned short>(
			to_pixel(clip.right) - rectangle.x + 1);
	rectangle.height = static_cast<unsigned short>(
			to_pixel(clip.bottom) - rectangle.y + 1);
	XSetClipRectangles(fDisplay, fGC, 0, 0, &rectangle, 1, Unsorted);
	XftDrawSetClipRectangles(fDraw, 0, 0, &rectangle, 1);
}


void
X11Surface::FillRect(BRect rect, rgb_color color)
{
	int left = to_pixel(rect.left + fOrigin.x);
	int top = to_pixel(rect.top + fOrigin.y);
	int right = to_pixel(rect.right + fOrigin.x);
	int bottom = to_pixel(rect.bottom + fOrigin.y);
	if (right < left || bottom < top)
		return;
	XSetForeground(fDisplay, fGC, _Pixel(color));
	XFillRectangle(fDisplay, fBuffer, fGC, left, top, right - left + 1,
			bottom - top + 1);
}


void
X11Surface::StrokeLine(BPoint start, BPoint end, rgb_color color)
{
	// Lines along an axis are rectangles, both ends included.
	if (start.x == end.x || start.y == end.y) {
		FillRect(BRect(fminf(start.x, end.x), fminf(start.y, end.y),
						 fmaxf(start.x, end.x), fmaxf(start.y, end.y)),
				color);
		return;
	}
	XSetForeground(fDisplay, fGC, _Pixel(color));
	XDrawLine(fDisplay, fBuffer, fGC, to_pixel(start.x + fOrigin.x),
			to_pixel(start.y + fOrigin.y), to_pixel(end.x + fOrigin.x),
			to_pixel(end.y + fOrigin.y));
}


void
X11Surface::DrawString(const char* string, int32 length, BPoint location,
		rgb_color color, float size)
{
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	XftFont* font = _Font(size);
	if (font == NULL)
		return;
	try {
		decode_utf8(string, length, fCharacters);
	} catch (const std::bad_alloc&) {
		return;
	}

	// Opaque whatever the colour's alpha: the kit's colours are solid.
	XftColor xftColor;
	xftColor.pixel = _Pixel(color);
	xftColor.color.red = color.red * 257;
	xftColor.color.green = color.green * 257;
	xftColor.color.blue = color.blue * 257;
	xftColor.color.alpha = 0xffff;
	XftDrawString32(fDraw, &xftColor, font, to_pixel(location.x + fOrigin.x),
			to_pixel(location.y + fOrigin.y),
			reinterpret_cast<const FcChar32*>(fCharacters.data()),
			static_cast<int>(fCharacters.size()));
}


float
X11Surface::StringWidth(const char* string, int32 length, float size)
{
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	XftFont* font = _Font(size);
	if (font == NULL)
		return 0;
	try {
		decode_utf8(string, length, fCharacters);
	} catch (const std::bad_alloc&) {
		return 0;
	}
	XGlyphInfo extents;
	XftTextExtents32(fDisplay, font,
			reinterpret_cast<const FcChar32*>(fCharacters.data()),
			static_cast<int>(fCharacters.size()), &extents);
	return extents.xOff;
}


void
X11Surface::GetFontHeight(font_height* height, float size)
{
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	XftFont* font = _Font(size);
	if (font == NULL)
		font = fFonts.front().second;
	height->ascent = font->ascent;
	height->descent = font->descent;
	float leading = font->height - font->ascent - font->descent;
	height->leading = leading > 0 ? leading : 0;
}


XftFont*
X11Surface::_Font(float size)
{
	for (const auto& font : fFonts) {
		if (font.first == size)
			return font.second;
	}
	// A Helvetica-metric face first: the platform's plain font is one, and
	// the frames of the views that callers give are measured for it.
	XftFont* font = XftFontOpen(fDisplay, fScreen, XFT_FAMILY, XftTypeString,
			"Nimbus Sans", XFT_FAMILY, XftTypeString, "Liberation Sans",
			XFT_FAMILY, XftTypeString, "Helvetica", XFT_FAMILY, XftTypeString,
			"sans-serif", XFT_PIXEL_SIZE, XftTypeDouble,
			static_cast<double>(size), NULL);
	if (font == NULL)
		return NULL;
	try {
		fFonts.emplace_back(size, font);
	} catch (const std::bad_alloc&) {
		XftFontClose(fDisplay, font);
		return NULL;
	}
	return font;
}


bool
X11Surface::_CreateBuffer()
{
	BRect frame = fWindow->Frame();
	fBufferWidth = frame.IntegerWidth() + 1;
	fBufferHeight = frame.IntegerHeight() + 1;
	fBuffer = XCreatePixmap(
			fDisplay, fXWindow, fBufferWidth, fBufferHeight, fDepth);
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	fDraw = XftDrawCreate(fDisplay, fBuffer, fVisual, fColormap);
	return fBuffer != None && fDraw != NULL;
}


void
X11Surface::_DestroyBuffer()
{
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	if (fDraw != NULL)
		XftDrawDestroy(fDraw);
	fDraw = NULL;
	if (fBuffer != None)
		XFreePixmap(fDisplay, fBuffer);
	fBuffer = None;
}


void
X11Surface::_Redraw()
{
	if (fBuffer == None || fDraw == NULL)
		return;
	std::lock_guard<std::recursive_mutex> guard(gXftLock);
	DrawViews(fWindow);
	// The copy onto the window is not clipped to the last view drawn.
	XSetClipMask(fDisplay, fGC, None);
	fExposed = true;
}


unsigned long
X11Surface::_Pixel(rgb_color color)
{
	if (fVisual->c_class == TrueColor || fVisual->c_class == DirectColor) {
		auto scale = [](uint8 value, unsigned long mask) {
			int shift = __builtin_ctzl(mask);
			unsigned long top = mask >> shift;
			return (value * top / 255) << shift;
		};
		return scale(color.red, fVisual->red_mask)
				| scale(color.green, fVisual->green_mask)
				| scale(color.blue, fVisual->blue_mask);
	}

	XColor xColor;
	xColor.red = color.red * 257;
	xColor.green = color.green * 257;
	xColor.blue = color.blue * 257;
	xColor.flags = DoRed | DoGreen | DoBlue;
	if (XAllocColor(fDisplay, fColormap, &xColor))
		return xColor.pixel;
	return BlackPixel(fDisplay, fScreen);
}

} // namespace BPrivate
