/*
 * The application object of the program started on its own: it says how
 * to install the program as a file-manager add-on, and asks to quit.
 */
#ifndef APP_SYSAPPLICATION_H
#define APP_SYSAPPLICATION_H

#include <Application.h>

class sysApplication : public BApplication {
public:
	// Shows the information alert and returns once it is closed, with the
	// quit request already posted.
	sysApplication();
	virtual ~sysApplication();
};

#endif // APP_SYSAPPLICATION_H
