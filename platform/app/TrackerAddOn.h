/*
 * The file manager's add-on protocol. An add-on image exports process_refs;
 * the file manager loads the image and calls it on a thread of its own with
 * the folder the selection was made in and the selected entries, stored as
 * entry references under "refs" in index order.
 */
#ifndef _TRACKER_ADD_ON_H
#define _TRACKER_ADD_ON_H

#include <Entry.h>
#include <Message.h>

// Exported even from an image whose other symbols are all hidden.
extern "C" __attribute__((visibility("default"))) void process_refs(
		entry_ref directory, BMessage* refs, void* reserved);

#endif // _TRACKER_ADD_ON_H
