#include "walk/text_kind.h"

#include "app/text_domain.h"

#include <errno.h>
#include <magic.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>


namespace {

// Only the tests that name a format are asked for: the magic database and
// the compound documents of old word processors. The tests that tell one
// kind of text from another cost far more and tell nothing here.
const int kMagicFlags = MAGIC_MIME_TYPE | MAGIC_NO_CHECK_COMPRESS
		| MAGIC_NO_CHECK_APPTYPE | MAGIC_NO_CHECK_ELF | MAGIC_NO_CHECK_TEXT
		| MAGIC_NO_CHECK_CSV | MAGIC_NO_CHECK_TOKENS | MAGIC_NO_CHECK_ENCODING
		| MAGIC_NO_CHECK_JSON;

// What libmagic says of bytes it knows no format for.
const char kNoFormat[] = "application/octet-stream";


// The bytes that no text holds, as libmagic's own test for text has them:
// the C0 controls but BEL, BS, TAB, LF, VT, FF, CR and ESC, and DEL. The ^Z
// that ended many a DOS text is taken for text here, so that such a text
// costs no question to libmagic: every format of its own holds other
// controls too.
struct foreign_bytes {
	bool table[256];

	foreign_bytes()
	{
		for (int byte = 0; byte < 256; byte++) {
			table[byte] = (byte < 0x20 && (byte < 0x07 || byte > 0x0d)
								  && byte != 0x1a && byte != 0x1b)
					|| byte == 0x7f;
		}
	}
};

const foreign_bytes sForeign;


bool
only_text_bytes(const uint8_t* bytes, size_t length)
{
	// Eight bytes at a time: only a byte below 0x20, or DEL, can be
	// foreign, and a block without either needs no look at the table.
	const uint64_t kOnes = 0x0101010101010101ull;
	const uint64_t kHighs = 0x8080808080808080ull;
	size_t i = 0;
	for (; i + 8 <= length; i += 8) {
		uint64_t word;
		memcpy(&word, bytes + i, sizeof(word));
		uint64_t deleted = word ^ (kOnes * 0x7f);
		uint64_t low = (word - kOnes * 0x20) & ~word;
		uint64_t del = (deleted - kOnes) & ~deleted;
		if (((low | del) & kHighs) == 0)
			continue;
		for (size_t k = i; k < i + 8; k++) {
			if (sForeign.table[bytes[k]])
				return false;
		}
	}
	for (; i < length; i++) {
		if (sForeign.table[bytes[i]])
			return false;
	}
	return true;
}


// The commonest formats among old files that are no text, told by their
// first bytes as libmagic tells them, without asking it.
const struct {
	const char* bytes;
	size_t length;
	const char* type;
} kSignatures[] = {
		{"\x7f"
		 "ELF",
				4, "application/x-executable"},
		{"\x89PNG\r\n\x1a\n", 8, "image/png"},
		{"\xff\xd8\xff", 3, "image/jpeg"},
		{"GIF87a", 6, "image/gif"},
		{"GIF89a", 6, "image/gif"},
		{"PK\x03\x04", 4, "application/zip"},
		{"\x1f\x8b", 2, "application/gzip"},
		{"%PDF-", 5, "application/pdf"},
};


// libmagic's database, loaded when first needed and once per process;
// NULL when it cannot be had, which is said once.
class magic_database {
public:
	~magic_database()
	{
		if (fCookie != NULL)
			magic_close(fCookie);
	}

	magic_t
	Get()
	{
		if (fTried)
			return fCookie;
		fTried = true;
		fCookie = magic_open(kMagicFlags);
		if (fCookie != NULL && magic_load(fCookie, NULL) == 0)
			return fCookie;
		bind_text_domain();
		fprintf(stderr, "Textwend: %s\n",
				filled(_("libmagic cannot tell the kinds of files (%s): "
						 "every file is taken for text"),
						{fCookie != NULL ? magic_error(fCookie)
										 : strerror(errno)})
						.c_str());
		if (fCookie != NULL)
			magic_close(fCookie);
		fCookie = NULL;
		return NULL;
	}

private:
	bool fTried = false;
	magic_t fCookie = NULL;
};

magic_database sDatabase;

} // namespace


file_kind
kind_of_head(const void* head, size_t length)
{
	file_kind kind;
	if (only_text_bytes((const uint8_t*)head, length))
		return kind;
	for (const auto& signature : kSignatures) {
		if (length >= signature.length
				&& memcmp(head, signature.bytes, signature.length) == 0) {
			kind.type = signature.type;
			kind.kind = kKindNotText;
			return kind;
		}
	}
	magic_t cookie = sDatabase.Get();
	const char* type
			= cookie != NULL ? magic_buffer(cookie, head, length) : NULL;
	if (type == NULL)
		return kind;
	kind.type = type;
	if (kind.type.rfind("text/", 0) != 0 && kind.type != kNoFormat)
		kind.kind = kKindNotText;
	return kind;
}


file_kind
kind_of_file(int fd)
{
	uint8_t head[kKindHead];
	ssize_t got;
	do
		got = pread(fd, head, sizeof(head), 0);
	while (got < 0 && errno == EINTR);
	if (got <= 0)
		return file_kind();
	return kind_of_head(head, (size_t)got);
}
