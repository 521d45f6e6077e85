/*
 * BMimeType: what the system asks of a MIME type string.
 */
#ifndef _MIME_TYPE_H
#define _MIME_TYPE_H

#include <Mime.h>
#include <SupportDefs.h>

class BMimeType {
public:
	// A supertype, optionally followed by "/" and a subtype, each of
	// printable ASCII other than space and the separators ()<>@,;:\"/[]?=,
	// all shorter than B_MIME_TYPE_LENGTH.
	static bool IsValid(const char* string);
};

#endif // _MIME_TYPE_H
