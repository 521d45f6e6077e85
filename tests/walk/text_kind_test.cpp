// What is text: the first bytes of everyday texts and of the formats that
// are none, whatever a file's name says.
#include "walk/text_kind.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Bytes from the start of each kind of file.
std::string
bytes(const char* text, size_t length)
{
	return std::string(text, length);
}

const struct {
	const char* what;
	std::string head;
	text_kind kind;
} kHeads[] = {
		// Old texts, with what they carry.
		{"a DOS letter",
				"Gr\x81\xE1"
				"e aus \x99sterreich!\r\n",
				kKindText},
		{"a DOS letter ended by ^Z",
				"Gr\x81\xE1"
				"e\r\n\x1A",
				kKindText},
		{"an Atari letter with NULs", bytes("K\x84se\r\n\0\0", 8), kKindText},
		{"printer codes",
				"\x1B"
				"E\x1B(s3BFett\x1B(s0B\r\n\x0C",
				kKindText},
		{"UTF-8", "Grüße aus Köln\n", kKindText},
		{"UTF-16 with its mark", bytes("\xFF\xFEK\0\xE4\0s\0e\0\n\0", 12),
				kKindText},
		// Pictures, documents, archives and programs.
		{"a PNG picture",
				bytes("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08"
					  "\x02\0\0\0\x90wS\xDE",
						33),
				kKindNotText},
		{"a JPEG picture", bytes("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0", 15),
				kKindNotText},
		{"a GIF picture", bytes("GIF89a\x01\0\x01\0\x80\0\0", 13),
				kKindNotText},
		{"a PDF document",
				"%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Length 9 >>\n"
				"stream\n\x78\x9C\x03\x01\x02\x00\x04\x05\x06\nendstream\n",
				kKindNotText},
		{"a Word 97 document (a compound document)",
				bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)
						+ std::string(600, '\0'),
				kKindNotText},
		{"a Word for DOS and Windows 2 document",
				bytes("\xDB\xA5\x2D\0\0\0\x09\x04", 8), kKindNotText},
		{"a WordPerfect document", bytes("\xFFWPC\x10\0\0\0\x01\x0A\0\0", 12),
				kKindNotText},
		{"a compressed file", bytes("\x1F\x8B\x08\0\0\0\0\0\0\x03\xCBH", 12),
				kKindNotText},
		{"a program",
				bytes("\x7F"
					  "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0",
						20),
				kKindNotText},
};

TEST(TextKind, TheFirstBytesTellTextFromOtherFormats)
{
	for (const auto& c : kHeads) {
		file_kind kind = kind_of_head(c.head.data(), c.head.size());
		EXPECT_EQ(kind.kind, c.kind) << c.what << ": " << kind.type;
	}
}

// A file is judged by what it holds, not by its name, and reading it does
// not move its offset; one that cannot be read is left to the reading.
TEST(TextKind, AnOpenFileIsJudgedByItsContent)
{
	test::Folder folder;
	const struct {
		const char* name;
		std::string content;
		text_kind kind;
	} files[] = {
			{"bild.txt", kHeads[6].head, kKindNotText},
			{"Brief.doc", kHeads[0].head, kKindText},
			{"leer.txt", "", kKindText},
	};
	for (const auto& f : files) {
		test::write_file(folder / f.name, f.content);
		int fd = open((folder / f.name).c_str(), O_RDONLY);
		ASSERT_GE(fd, 0);
		ASSERT_EQ(lseek(fd, 1, SEEK_SET), 1);
		EXPECT_EQ(kind_of_file(fd).kind, f.kind) << f.name;
		EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 1) << f.name;
		close(fd);
	}
	EXPECT_EQ(kind_of_file(-1).kind, kKindText);
}

} // namespace
