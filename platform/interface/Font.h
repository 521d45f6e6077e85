/*
 * Font metrics. Every view draws in the one face of the display, a
 * Helvetica-metric one, at the plain font's size of 10 pixels unless it
 * asks for another (BView::SetFontSize).
 */
#ifndef _FONT_H
#define _FONT_H

const float kPlainFontSize = 10;

struct font_height {
	float ascent;
	float descent;
	float leading;
};

#endif // _FONT_H
