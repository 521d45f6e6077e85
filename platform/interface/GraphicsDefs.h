/*
 * Colours of the interface kit, with the platform's layout.
 */
#ifndef _GRAPHICS_DEFS_H
#define _GRAPHICS_DEFS_H

#include <SupportDefs.h>

// A colour as red, green, blue and alpha. Views paint every colour opaque:
// alpha is kept for the caller and blends nothing.
typedef struct rgb_color {
	uint8 red;
	uint8 green;
	uint8 blue;
	uint8 alpha;

#if defined(__cplusplus)
	bool
	operator==(const rgb_color& other) const
	{
		return red == other.red && green == other.green && blue == other.blue
				&& alpha == other.alpha;
	}

	bool
	operator!=(const rgb_color& other) const
	{
		return !(*this == other);
	}
#endif
} rgb_color;

#if defined(__cplusplus)
inline rgb_color
make_color(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255)
{
	rgb_color color = {red, green, blue, alpha};
	return color;
}
#endif

// A view colour that leaves the view's background unpainted.
extern const rgb_color B_TRANSPARENT_COLOR;

#endif // _GRAPHICS_DEFS_H
