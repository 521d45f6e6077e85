/*
 * Message codes of the application kit, with the platform's values. Each is
 * its four-letter name read as a big-endian number; written out in
 * hexadecimal so that no compiler warns about multi-character constants.
 */
#ifndef _APP_DEFS_H
#define _APP_DEFS_H

// System messages.
enum {
	B_ABOUT_REQUESTED = 0x5F414252,     // '_ABR'
	B_WINDOW_ACTIVATED = 0x5F414354,    // '_ACT'
	B_APP_ACTIVATED = 0x5F414354,       // '_ACT', as B_WINDOW_ACTIVATED
	B_ARGV_RECEIVED = 0x5F415247,       // '_ARG'
	B_QUIT_REQUESTED = 0x5F515251,      // '_QRQ'
	B_CLOSE_REQUESTED = 0x5F515251,     // '_QRQ', as B_QUIT_REQUESTED
	B_CANCEL = 0x5F434E43,              // '_CNC'
	B_KEY_DOWN = 0x5F4B5944,            // '_KYD'
	B_KEY_UP = 0x5F4B5955,              // '_KYU'
	B_MODIFIERS_CHANGED = 0x5F4D4348,   // '_MCH'
	B_MINIMIZE = 0x5F574D4E,            // '_WMN'
	B_MOUSE_DOWN = 0x5F4D444E,          // '_MDN'
	B_MOUSE_MOVED = 0x5F4D4D56,         // '_MMV'
	B_MOUSE_UP = 0x5F4D5550,            // '_MUP'
	B_MOUSE_WHEEL_CHANGED = 0x5F4D5743, // '_MWC'
	B_PULSE = 0x5F50554C,               // '_PUL'
	B_READY_TO_RUN = 0x5F525452,        // '_RTR'
	B_REFS_RECEIVED = 0x5F525243,       // '_RRC'
	B_SCREEN_CHANGED = 0x5F534348,      // '_SCH'
	B_VALUE_CHANGED = 0x5F564348,       // '_VCH'
	B_VIEW_MOVED = 0x5F564D56,          // '_VMV'
	B_VIEW_RESIZED = 0x5F565253,        // '_VRS'
	B_WINDOW_MOVED = 0x5F574D56,        // '_WMV'
	B_WINDOW_RESIZED = 0x5F575253,      // '_WRS'
	B_WORKSPACES_CHANGED = 0x5F574347,  // '_WCG'
	B_WORKSPACE_ACTIVATED = 0x5F574143, // '_WAC'
	B_ZOOM = 0x5F575A4D                 // '_WZM'
};

// Other commands.
enum {
	B_CUT = 0x43435554,                    // 'CCUT'
	B_COPY = 0x434F5059,                   // 'COPY'
	B_PASTE = 0x50535445,                  // 'PSTE'
	B_SELECT_ALL = 0x53414C4C,             // 'SALL'
	B_SAVE_REQUESTED = 0x53415645,         // 'SAVE'
	B_MESSAGE_NOT_UNDERSTOOD = 0x4D4E4F54, // 'MNOT'
	B_NO_REPLY = 0x4E4F4E45,               // 'NONE'
	B_REPLY = 0x52504C59,                  // 'RPLY'
	B_SIMPLE_DATA = 0x44415441             // 'DATA'
};

#endif // _APP_DEFS_H
