/*
 * Between an add-on and the file manager that called it. An add-on may say
 * how its selection went: B_OK when every entry was done or passed over,
 * an error when an entry was left as it was. A host that asks can pass it
 * on (a program's exit status, say); a file manager that does not ask loses
 * nothing, and the add-on needs to know nothing of who called it.
 */
#ifndef _ADD_ON_STATUS_H
#define _ADD_ON_STATUS_H

#include <SupportDefs.h>

namespace BPrivate {

// The field of the selection message in which a host that hands over text
// files only puts the entries it passed over as no text, so that the
// add-on can name them; "refs" holds the rest.
#define B_NOT_TEXT_REFS "be:not_text_refs"

// Called by the add-on, from any thread, before its process_refs returns.
void set_add_on_status(status_t status);

// What the add-on said since the last reset; B_OK when it said nothing.
status_t add_on_status();

// Forgets what an earlier call said, before the next one.
void reset_add_on_status();

} // namespace BPrivate

#endif // _ADD_ON_STATUS_H
