/*
 * BView's drawing and text measures, through the surface of its window.
 */
#include <View.h>

#include <Window.h>

#include <interface/window_surface.h>

#include <string.h>


void
BView::FillRect(BRect rect)
{
	BPrivate::WindowSurface* surface = _DrawingSurface();
	if (surface != NULL)
		surface->FillRect(rect, fHighColor);
}


void
BView::StrokeRect(BRect rect)
{
	StrokeLine(rect.LeftTop(), rect.RightTop());
	StrokeLine(rect.RightTop(), rect.RightBottom());
	StrokeLine(rect.RightBottom(), rect.LeftBottom());
	StrokeLine(rect.LeftBottom(), rect.LeftTop());
}


void
BView::StrokeLine(BPoint start, BPoint end)
{
	BPrivate::WindowSurface* surface = _DrawingSurface();
	if (surface != NULL)
		surface->StrokeLine(start, end, fHighColor);
}


void
BView::DrawString(const char* string, BPoint location)
{
	if (string != NULL)
		DrawString(string, static_cast<int32>(strlen(string)), location);
}


void
BView::DrawString(const char* string, int32 length, BPoint location)
{
	BPrivate::WindowSurface* surface = _DrawingSurface();
	if (surface != NULL && string != NULL && length > 0)
		surface->DrawString(string, length, location, fHighColor, fFontSize);
}


float
BView::StringWidth(const char* string) const
{
	if (string == NULL)
		return 0;
	return StringWidth(string, static_cast<int32>(strlen(string)));
}


float
BView::StringWidth(const char* string, int32 length) const
{
	BPrivate::WindowSurface* surface
			= fOwner != NULL ? fOwner->_Surface() : NULL;
	if (surface == NULL || string == NULL || length <= 0)
		return 0;
	return surface->StringWidth(string, length, fFontSize);
}


void
BView::GetFontHeight(font_height* height) const
{
	if (height == NULL)
		return;
	BPrivate::WindowSurface* surface
			= fOwner != NULL ? fOwner->_Surface() : NULL;
	if (surface == NULL) {
		// The plain font's, for a view that is in no window yet.
		float scale = fFontSize / kPlainFontSize;
		*height = font_height {8 * scale, 3 * scale, 1 * scale};
		return;
	}
	surface->GetFontHeight(height, fFontSize);
}


void
BView::SetFontSize(float size)
{
	if (size <= 0 || size == fFontSize)
		return;
	fFontSize = size;
	Invalidate();
}


BPrivate::WindowSurface*
BView::_DrawingSurface() const
{
	if (fOwner == NULL)
		return NULL;
	return fOwner->_DrawingSurface(this);
}
