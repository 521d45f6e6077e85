/*
 * Which selected entries the batch converts.
 */
#ifndef ADDON_ACCEPTANCE_H
#define ADDON_ACCEPTANCE_H

#include <stdint.h>
#include <sys/stat.h>

// The mode words the batch has always taken, 041001 to 0102000: regular
// files, but also folders with a set-ID or sticky bit and block devices.
inline bool
mode_in_range(uint32_t mode)
{
	return mode >= 0x4201 && mode <= 0x8400;
}

// A regular file with data whose mode lies in the range; a folder or a
// device would be moved aside and replaced by an empty file.
inline bool
accepts(const struct stat& st)
{
	return mode_in_range((uint32_t)st.st_mode) && S_ISREG(st.st_mode)
			&& st.st_size != 0;
}

#endif // ADDON_ACCEPTANCE_H
