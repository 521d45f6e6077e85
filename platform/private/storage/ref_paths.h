/*
 * Inside the kits only. Linux cannot name a folder by its device and inode,
 * so every folder that a ref was made in is remembered here, once per
 * process; refs of this process can then be turned back into paths.
 */
#ifndef _REF_PATHS_H
#define _REF_PATHS_H

#include <Entry.h>

#include <string>

// The absolute path of the entry ref names, leaf unresolved. B_ENTRY_NOT_FOUND
// when the folder is unknown here or is no longer where it was.
status_t path_for_ref(const entry_ref& ref, std::string& path);

// The same for a ref that may be NULL (B_BAD_VALUE); throws nothing: a path
// that cannot be held is B_NO_MEMORY.
status_t path_for_ref(const entry_ref* ref, std::string& path);

#endif // _REF_PATHS_H
