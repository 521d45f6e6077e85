#include <interface/window_looks.h>


namespace BPrivate {

void
decompose_type(window_type type, window_look* look, window_feel* feel)
{
	switch (type) {
	case B_DOCUMENT_WINDOW:
		*look = B_DOCUMENT_WINDOW_LOOK;
		*feel = B_NORMAL_WINDOW_FEEL;
		break;
	case B_MODAL_WINDOW:
		*look = B_MODAL_WINDOW_LOOK;
		*feel = B_MODAL_APP_WINDOW_FEEL;
		break;
	case B_FLOATING_WINDOW:
		*look = B_FLOATING_WINDOW_LOOK;
		*feel = B_FLOATING_APP_WINDOW_FEEL;
		break;
	case B_BORDERED_WINDOW:
		*look = B_BORDERED_WINDOW_LOOK;
		*feel = B_NORMAL_WINDOW_FEEL;
		break;
	case B_TITLED_WINDOW:
	case B_UNTYPED_WINDOW:
	default:
		*look = B_TITLED_WINDOW_LOOK;
		*feel = B_NORMAL_WINDOW_FEEL;
		break;
	}
}


window_type
compose_type(window_look look, window_feel feel)
{
	static const window_type kTypes[] = {B_TITLED_WINDOW, B_DOCUMENT_WINDOW,
			B_MODAL_WINDOW, B_FLOATING_WINDOW, B_BORDERED_WINDOW};
	for (window_type type : kTypes) {
		window_look typeLook;
		window_feel typeFeel;
		decompose_type(type, &typeLook, &typeFeel);
		if (typeLook == look && typeFeel == feel)
			return type;
	}
	return B_UNTYPED_WINDOW;
}


bool
is_valid_look(window_look look)
{
	switch (look) {
	case B_BORDERED_WINDOW_LOOK:
	case B_NO_BORDER_WINDOW_LOOK:
	case B_TITLED_WINDOW_LOOK:
	case B_DOCUMENT_WINDOW_LOOK:
	case B_MODAL_WINDOW_LOOK:
	case B_FLOATING_WINDOW_LOOK:
		return true;
	}
	return false;
}


bool
is_valid_feel(window_feel feel)
{
	switch (feel) {
	case B_NORMAL_WINDOW_FEEL:
	case B_MODAL_SUBSET_WINDOW_FEEL:
	case B_MODAL_APP_WINDOW_FEEL:
	case B_MODAL_ALL_WINDOW_FEEL:
	case B_FLOATING_SUBSET_WINDOW_FEEL:
	case B_FLOATING_APP_WINDOW_FEEL:
	case B_FLOATING_ALL_WINDOW_FEEL:
		return true;
	}
	return false;
}


bool
is_modal_feel(window_feel feel)
{
	return feel == B_MODAL_APP_WINDOW_FEEL || feel == B_MODAL_SUBSET_WINDOW_FEEL
			|| feel == B_MODAL_ALL_WINDOW_FEEL;
}


bool
is_floating_feel(window_feel feel)
{
	return feel == B_FLOATING_APP_WINDOW_FEEL
			|| feel == B_FLOATING_SUBSET_WINDOW_FEEL
			|| feel == B_FLOATING_ALL_WINDOW_FEEL;
}


bool
has_title_tab(window_look look)
{
	return look == B_MODAL_WINDOW_LOOK || has_close_box(look);
}


bool
has_close_box(window_look look)
{
	return look == B_TITLED_WINDOW_LOOK || look == B_DOCUMENT_WINDOW_LOOK
			|| look == B_FLOATING_WINDOW_LOOK;
}


WindowHints
window_hints(uint32 flags, window_look look, window_feel feel)
{
	WindowHints hints = {};
	hints.fixedWidth = (flags & (B_NOT_RESIZABLE | B_NOT_H_RESIZABLE)) != 0;
	hints.fixedHeight = (flags & (B_NOT_RESIZABLE | B_NOT_V_RESIZABLE)) != 0;
	bool resizable = !hints.fixedWidth || !hints.fixedHeight;
	hints.takesFocus = (flags & B_AVOID_FOCUS) == 0;

	if ((flags & B_NOT_MOVABLE) == 0)
		hints.motifFunctions |= kMotifFunctionMove;
	if (resizable)
		hints.motifFunctions |= kMotifFunctionResize;
	if (look == B_NO_BORDER_WINDOW_LOOK)
		hints.motifDecorations = 0;
	else if (!has_title_tab(look))
		hints.motifDecorations = kMotifDecorationBorder;
	else if (!has_close_box(look))
		hints.motifDecorations = kMotifDecorationBorder | kMotifDecorationTitle;
	else {
		hints.motifDecorations = kMotifDecorationBorder | kMotifDecorationTitle
				| kMotifDecorationMenu;
		if ((flags & B_NOT_CLOSABLE) == 0)
			hints.motifFunctions |= kMotifFunctionClose;
		if ((flags & B_NOT_MINIMIZABLE) == 0
				&& look != B_FLOATING_WINDOW_LOOK) {
			hints.motifFunctions |= kMotifFunctionMinimize;
			hints.motifDecorations |= kMotifDecorationMinimize;
		}
		if ((flags & B_NOT_ZOOMABLE) == 0 && !hints.fixedWidth
				&& !hints.fixedHeight) {
			hints.motifFunctions |= kMotifFunctionMaximize;
			hints.motifDecorations |= kMotifDecorationMaximize;
		}
		if (resizable)
			hints.motifDecorations |= kMotifDecorationResizeHandle;
	}

	if (feel == B_MODAL_ALL_WINDOW_FEEL)
		hints.motifInputMode = kMotifInputSystemModal;
	else if (is_modal_feel(feel))
		hints.motifInputMode = kMotifInputApplicationModal;
	else
		hints.motifInputMode = kMotifInputModeless;

	// A modal window is a dialog of its application as a whole.
	if (is_modal_feel(feel))
		hints.role = kDialogRole;
	else if (is_floating_feel(feel))
		hints.role = kUtilityRole;
	else
		hints.role = kNormalRole;
	return hints;
}

} // namespace BPrivate
