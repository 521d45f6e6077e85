/*
 * The images that read a set the person chose: the set is taken as given
 * instead of detected, but a text that is already UTF-8 stays as it is.
 */
#ifndef CONVERT_CHOSEN_SET_H
#define CONVERT_CHOSEN_SET_H

#include "charmap/options.h"
#include "convert/convert.h"

#include <stdint.h>

// True in the images that convert from a set the person chose.
inline bool
set_is_chosen()
{
	return fix_set >= kStyleTos && fix_set <= kStyleAnsi;
}

// The source set to convert from, given the one detected.
inline int32_t
chosen_style(int32_t detected)
{
	if (!set_is_chosen() || detected == kStyleBe)
		return detected;
	return fix_set;
}

#endif // CONVERT_CHOSEN_SET_H
