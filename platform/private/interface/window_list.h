/*
 * Inside the kits only: the windows of the process, which the application
 * lists. A window enters when it is made and leaves when it is deleted.
 */
#ifndef _WINDOW_LIST_H
#define _WINDOW_LIST_H

class BWindow;

namespace BPrivate {

void add_window(BWindow* window);
void remove_window(BWindow* window);

} // namespace BPrivate

#endif // _WINDOW_LIST_H
