/*
 * MIME types: their longest length and the BMimeType class.
 */
#ifndef _MIME_H
#define _MIME_H

#include <StorageDefs.h>

// The terminating NUL included: a type has at most 239 characters.
#define B_MIME_TYPE_LENGTH (B_ATTR_NAME_LENGTH - 15)

#include <MimeType.h>

#endif // _MIME_H
