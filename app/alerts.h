/*
 * The program's alerts: each shows its text with one button and returns the
 * index of the button that closed it, once the user has.
 */
#ifndef APP_ALERTS_H
#define APP_ALERTS_H

#include <SupportDefs.h>

// The information alert of the add-on's notices.
int32 AlertInf2(const char* text);

// The information alert that the program shows when started on its own.
int32 AlertMess(const char* text);

#endif // APP_ALERTS_H
