/*
 * Constants and helpers shared by the interface kit's classes, with the
 * platform's names and values.
 */
#ifndef _INTERFACE_DEFS_H
#define _INTERFACE_DEFS_H

#include <GraphicsDefs.h>
#include <SupportDefs.h>

enum border_style { B_PLAIN_BORDER, B_FANCY_BORDER, B_NO_BORDER };


// What KeyDown() receives for keys that have no character of their own.
enum {
	B_BACKSPACE = 0x08,
	B_RETURN = 0x0a,
	B_ENTER = 0x0a,
	B_SPACE = 0x20,
	B_TAB = 0x09,
	B_ESCAPE = 0x1b,
	B_LEFT_ARROW = 0x1c,
	B_RIGHT_ARROW = 0x1d,
	B_UP_ARROW = 0x1e,
	B_DOWN_ARROW = 0x1f,
	B_INSERT = 0x05,
	B_DELETE = 0x7f,
	B_HOME = 0x01,
	B_END = 0x04,
	B_PAGE_UP = 0x0b,
	B_PAGE_DOWN = 0x0c
};

// Modifier keys, as a window's shortcuts name them.
enum {
	B_SHIFT_KEY = 0x00000001,
	B_COMMAND_KEY = 0x00000002,
	B_CONTROL_KEY = 0x00000004,
	B_OPTION_KEY = 0x00000040,
	B_MENU_KEY = 0x00000080
};

// A shortcut of a key alone, without the command key that a shortcut has
// unless it says otherwise.
enum { B_NO_COMMAND_KEY = 0x80000000 };

// Tints: below 1 lightens towards white, above 1 darkens towards black.
const float B_LIGHTEN_MAX_TINT = 0.0f;
const float B_LIGHTEN_2_TINT = 0.385f;
const float B_LIGHTEN_1_TINT = 0.590f;
const float B_NO_TINT = 1.0f;
const float B_DARKEN_1_TINT = 1.147f;
const float B_DARKEN_2_TINT = 1.295f;
const float B_DARKEN_3_TINT = 1.407f;
const float B_DARKEN_4_TINT = 1.555f;
const float B_DARKEN_MAX_TINT = 2.0f;

// The colour tinted; its alpha stays.
rgb_color tint_color(rgb_color color, float tint);

#endif // _INTERFACE_DEFS_H
