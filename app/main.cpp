/*
 * The program started on its own: it converts nothing, whatever it is
 * given, and only says how to install it as a file-manager add-on.
 */
#include "app/sysApplication.h"


int
main()
{
	sysApplication application;
	application.Run();
	return 0;
}
