/*
 * What is text. A file whose first bytes are all bytes that text holds is
 * text; any other is shown to libmagic, the library of file(1), and is no
 * text when libmagic names a format of its own for it: a picture, a
 * document of a word processor, an archive, a program. What libmagic
 * knows no format for stays text, as old texts carry bytes of their own
 * (a NUL, the ^Z that ended a DOS file).
 */
#ifndef WALK_TEXT_KIND_H
#define WALK_TEXT_KIND_H

#include <stddef.h>

#include <string>

enum text_kind {
	kKindText,
	kKindNotText,
};

struct file_kind {
	text_kind kind = kKindText;
	// The MIME type libmagic names, where it was asked; empty otherwise.
	std::string type;
};

// How much of a file's start is looked at.
const size_t kKindHead = 16 * 1024;

// The kind of a file whose first bytes are head.
file_kind kind_of_head(const void* head, size_t length);

// The kind of the open file fd, from its first bytes; its offset stays. A
// file that cannot be read is taken for text, so that reading it whole
// fails with its own reason.
file_kind kind_of_file(int fd);

#endif // WALK_TEXT_KIND_H
