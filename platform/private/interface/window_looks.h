/*
 * Inside the interface kit only: what a window's type, look, feel and flags
 * mean, once, for the window and for the surface that shows it; and the
 * hints that ask a window manager for that.
 */
#ifndef _INTERFACE_WINDOW_LOOKS_H
#define _INTERFACE_WINDOW_LOOKS_H

#include <GraphicsDefs.h>
#include <Window.h>

namespace BPrivate {

// Where no view of the caller lies: the root view, alerts, and a window
// before its views are drawn.
const rgb_color kPanelColor = {216, 216, 216, 255};

void decompose_type(window_type type, window_look* look, window_feel* feel);
window_type compose_type(window_look look, window_feel feel);

bool is_valid_look(window_look look);
bool is_valid_feel(window_feel feel);
bool is_modal_feel(window_feel feel);
bool is_floating_feel(window_feel feel);

// Only these looks carry a title tab, and a close box that the user can
// click.
bool has_title_tab(window_look look);
bool has_close_box(window_look look);

// The hints of Motif that most window managers follow for decoration.
enum {
	kMotifHintFunctions = 1 << 0,
	kMotifHintDecorations = 1 << 1,
	kMotifHintInputMode = 1 << 2
};

enum {
	kMotifFunctionResize = 1 << 1,
	kMotifFunctionMove = 1 << 2,
	kMotifFunctionMinimize = 1 << 3,
	kMotifFunctionMaximize = 1 << 4,
	kMotifFunctionClose = 1 << 5
};

enum {
	kMotifDecorationBorder = 1 << 1,
	kMotifDecorationResizeHandle = 1 << 2,
	kMotifDecorationTitle = 1 << 3,
	kMotifDecorationMenu = 1 << 4,
	kMotifDecorationMinimize = 1 << 5,
	kMotifDecorationMaximize = 1 << 6
};

enum {
	kMotifInputModeless = 0,
	kMotifInputApplicationModal = 3,
	kMotifInputSystemModal = 2
};

enum window_role {
	kNormalRole,
	kDialogRole, // modal to its application
	kUtilityRole // floating
};

// What a window asks of a window manager.
struct WindowHints {
	bool fixedWidth;
	bool fixedHeight;
	bool takesFocus;
	uint32 motifFunctions;
	uint32 motifDecorations;
	int32 motifInputMode;
	window_role role;
};

WindowHints window_hints(uint32 flags, window_look look, window_feel feel);

} // namespace BPrivate

#endif // _INTERFACE_WINDOW_LOOKS_H
