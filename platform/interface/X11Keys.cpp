/*
 * Keys pressed in a window on an X server, handed to the window as the kit
 * spells them.
 */
#include <interface/x11_surface.h>

#include <InterfaceDefs.h>
#include <Window.h>

#include <X11/keysym.h>
#include <X11/Xutil.h>


namespace BPrivate {

void
X11Surface::_HandleKey(XKeyEvent& event)
{
	char buffer[16];
	KeySym key;
	int count = XLookupString(&event, buffer, sizeof(buffer), &key, NULL);

	char bytes[8];
	int32 length = 1;
	switch (key) {
	case XK_Return:
	case XK_KP_Enter:
		bytes[0] = B_ENTER;
		break;
	case XK_Escape:
		bytes[0] = B_ESCAPE;
		break;
	case XK_Tab:
	case XK_ISO_Left_Tab:
		bytes[0] = B_TAB;
		break;
	case XK_BackSpace:
		bytes[0] = B_BACKSPACE;
		break;
	case XK_Delete:
		bytes[0] = B_DELETE;
		break;
	case XK_Left:
		bytes[0] = B_LEFT_ARROW;
		break;
	case XK_Right:
		bytes[0] = B_RIGHT_ARROW;
		break;
	case XK_Up:
		bytes[0] = B_UP_ARROW;
		break;
	case XK_Down:
		bytes[0] = B_DOWN_ARROW;
		break;
	case XK_Home:
		bytes[0] = B_HOME;
		break;
	case XK_End:
		bytes[0] = B_END;
		break;
	case XK_Page_Up:
		bytes[0] = B_PAGE_UP;
		break;
	case XK_Page_Down:
		bytes[0] = B_PAGE_DOWN;
		break;
	case XK_Insert:
		bytes[0] = B_INSERT;
		break;
	default: {
		if (count != 1)
			return;
		// XLookupString gives Latin-1; the kit speaks UTF-8.
		unsigned char c = static_cast<unsigned char>(buffer[0]);
		if (c < 0x80)
			bytes[0] = static_cast<char>(c);
		else {
			bytes[0] = static_cast<char>(0xc0 | (c >> 6));
			bytes[1] = static_cast<char>(0x80 | (c & 0x3f));
			length = 2;
		}
		break;
	}
	}
	bytes[length] = '\0';
	KeyDown(fWindow, bytes, length);
}

} // namespace BPrivate
