/*
 * What a window on an X server asks of the window manager, as its look,
 * feel and flags say (window_hints).
 */
#include <interface/x11_surface.h>

#include <interface/window_looks.h>
#include <InterfaceDefs.h>
#include <Window.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>


namespace BPrivate {

namespace {

// The property that carries the hints of Motif.
struct MotifHints {
	unsigned long flags;
	unsigned long functions;
	unsigned long decorations;
	long inputMode;
	unsigned long status;
};

} // namespace


void
X11Surface::_SetHints()
{
	BRect frame = fWindow->Frame();
	int width = frame.IntegerWidth() + 1;
	int height = frame.IntegerHeight() + 1;
	WindowHints hints
			= window_hints(fWindow->Flags(), fWindow->Look(), fWindow->Feel());

	// The content goes exactly where the frame says: a position the user
	// gave, and a gravity that keeps the decoration outside of it.
	XSizeHints* sizeHints = XAllocSizeHints();
	if (sizeHints != NULL) {
		sizeHints->flags = USPosition | PPosition | PSize | PWinGravity;
		sizeHints->x = to_pixel(frame.left);
		sizeHints->y = to_pixel(frame.top);
		sizeHints->width = width;
		sizeHints->height = height;
		sizeHints->win_gravity = StaticGravity;
		if (hints.fixedWidth || hints.fixedHeight) {
			sizeHints->flags |= PMinSize | PMaxSize;
			sizeHints->min_width = hints.fixedWidth ? width : 1;
			sizeHints->max_width = hints.fixedWidth ? width : 32767;
			sizeHints->min_height = hints.fixedHeight ? height : 1;
			sizeHints->max_height = hints.fixedHeight ? height : 32767;
		}
		XSetWMNormalHints(fDisplay, fXWindow, sizeHints);
		XFree(sizeHints);
	}

	XWMHints* wmHints = XAllocWMHints();
	if (wmHints != NULL) {
		wmHints->flags = InputHint | StateHint;
		wmHints->input = hints.takesFocus;
		wmHints->initial_state = NormalState;
		XSetWMHints(fDisplay, fXWindow, wmHints);
		XFree(wmHints);
	}

	MotifHints motif = {};
	motif.flags
			= kMotifHintFunctions | kMotifHintDecorations | kMotifHintInputMode;
	motif.functions = hints.motifFunctions;
	motif.decorations = hints.motifDecorations;
	motif.inputMode = hints.motifInputMode;
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomMotifHints],
			fAtoms[kAtomMotifHints], 32, PropModeReplace,
			reinterpret_cast<unsigned char*>(&motif), 5);

	Atom type = fAtoms[kAtomTypeNormal];
	if (hints.role == kDialogRole)
		type = fAtoms[kAtomTypeDialog];
	else if (hints.role == kUtilityRole)
		type = fAtoms[kAtomTypeUtility];
	XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomWindowType], XA_ATOM, 32,
			PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
	if (hints.role == kDialogRole) {
		XChangeProperty(fDisplay, fXWindow, fAtoms[kAtomState], XA_ATOM, 32,
				PropModeReplace,
				reinterpret_cast<unsigned char*>(&fAtoms[kAtomStateModal]), 1);
		XSetTransientForHint(fDisplay, fXWindow, RootWindow(fDisplay, fScreen));
	} else {
		XDeleteProperty(fDisplay, fXWindow, fAtoms[kAtomState]);
		XDeleteProperty(fDisplay, fXWindow, XA_WM_TRANSIENT_FOR);
	}
}

} // namespace BPrivate
