/*
 * Type codes of typed data (attributes, message fields), with the platform's
 * values. Each is its four-letter name read as a big-endian number; written
 * out in hexadecimal so that no compiler warns about multi-character
 * constants.
 */
#ifndef _TYPE_CONSTANTS_H
#define _TYPE_CONSTANTS_H

enum {
	B_ANY_TYPE = 0x414E5954,         // 'ANYT'
	B_BOOL_TYPE = 0x424F4F4C,        // 'BOOL'
	B_INT32_TYPE = 0x4C4F4E47,       // 'LONG'
	B_INT64_TYPE = 0x4C4C4E47,       // 'LLNG'
	B_MIME_STRING_TYPE = 0x4D494D53, // 'MIMS'
	B_MIME_TYPE = 0x4D494D45,        // 'MIME'
	B_RAW_TYPE = 0x52415754,         // 'RAWT'
	B_REF_TYPE = 0x52524546,         // 'RREF'
	B_STRING_TYPE = 0x43535452,      // 'CSTR'
	B_UINT32_TYPE = 0x554C4E47,      // 'ULNG'
	B_UINT64_TYPE = 0x554C4C47       // 'ULLG'
};

#endif // _TYPE_CONSTANTS_H
