/*
 * Font metrics. Every view draws in the one font of the display: the
 * platform's plain font, a Helvetica-metric face of 10 pixels.
 */
#ifndef _FONT_H
#define _FONT_H

struct font_height {
	float ascent;
	float descent;
	float leading;
};

#endif // _FONT_H
