// The word at the end of a batch: a notification through the desktop's
// notification service, on a session bus of the test's own
// (dbus-run-session) with a service that writes down what it is shown.
#include "support/files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using test::Folder;
using test::read_file;
using test::write_file;

const std::string kHost = TEXTWEND_HOST;
const std::string kImages = TEXTWEND_IMAGE_DIR;
const std::string kService
		= TEXTWEND_SOURCE_DIR "/tests/support/notifications.py";
const int kSkipped = 77;
const int kNotStarted = 127;

// The start of a PNG picture.
const std::string kPicture("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01"
						   "\x08\x02\0\0\0\x90wS\xDE",
		33);

const std::string kDosLetter = "Gr\x81\xE1"
							   "e\r\n";

struct Batch {
	const char* label;
	std::string image;
	std::vector<std::string> arguments; // after the image; names in folder
	std::string language;               // LANGUAGE, or none
	std::string notification;           // its body, line breaks as \n
	std::string alertLine;              // a line the alert must show
};

const Batch kBatches[] = {
		{"two converted, one of them selected twice, a folder passed over",
				"Textwend", {"a.txt", "b.txt", "a.txt", "Bilder"}, "",
				"2 files converted to UTF-8, the originals kept as "
				"-BAK\\n1 entry passed over",
				"Bilder: a folder, passed over"},
		{"converted again: already UTF-8, its original kept as -BAK2",
				"Textwend", {"a.txt", "undone.txt"}, "",
				"1 file converted to UTF-8, the original kept as -BAK\\n1 "
				"file already UTF-8, the original kept as -BAK2",
				""},
		{"one undone", "Textwend-Undo", {"undone.txt"}, "",
				"1 conversion undone, the original is back", ""},
		{"a picture named .txt", "Textwend", {"Foto.txt"}, "",
				"No file converted\\n1 entry passed over",
				"Foto.txt: not a text file, passed over"},
		{"a picture, which the file manager passed over", "Textwend",
				{"--text-only", "Foto.png"}, "",
				"No file converted\\n1 entry passed over",
				"Foto.png: not a text file, passed over"},
		{"in German", "Textwend", {"a.txt", "undone.txt", "Bilder"}, "de",
				"1 Datei in UTF-8 umgewandelt, Original als -BAK\\n1 Datei "
				"bereits UTF-8, Original als -BAK2\\n1 Eintrag übergangen",
				""},
};

TEST(Notification, SaysHowTheBatchWent)
{
	for (const Batch& batch : kBatches) {
		SCOPED_TRACE(batch.label);
		Folder folder;
		write_file(folder / "a.txt", kDosLetter);
		write_file(folder / "b.txt", kDosLetter);
		write_file(folder / "undone.txt", kDosLetter);
		write_file(folder / "Foto.png", "\x89PNG\r\n\x1A\n");
		write_file(folder / "Foto.txt", kPicture);
		ASSERT_EQ(mkdir((folder / "Bilder").c_str(), 0755), 0);
		ASSERT_EQ(test::run_program(
						  {kHost, kImages + "/Textwend", folder / "undone.txt"})
						  .status,
				0);

		std::vector<std::string> command = {"/usr/bin/dbus-run-session", "--",
				"/usr/bin/python3", kService, kHost};
		for (const std::string& argument : batch.arguments) {
			if (argument == "--text-only")
				command.push_back(argument);
		}
		command.push_back(kImages + "/" + batch.image);
		for (const std::string& argument : batch.arguments) {
			if (argument != "--text-only")
				command.push_back(folder / argument);
		}
		test::ChildOptions options;
		options.folder = folder.path();
		options.environment = {{"LANG", "C.UTF-8"}, {"LC_ALL", ""},
				{"LANGUAGE", batch.language}};
		test::ChildResult run = test::run_program(command, options);
		if (run.status == kNotStarted)
			GTEST_SKIP() << "dbus-run-session is not installed (dbus)";
		if (run.status == kSkipped)
			GTEST_SKIP() << run.errors;

		EXPECT_EQ(run.output,
				"notify\tTextwend\tTextwend\t" + batch.notification + "\n")
				<< run.errors;
		// The alert for what was left out stays, and names it.
		EXPECT_EQ(run.errors.find("No files selected"), std::string::npos);
		EXPECT_NE(run.errors.find("\n" + batch.alertLine), std::string::npos)
				<< run.errors;
	}
}

// Without a session bus nothing is shown, and nothing said about it.
TEST(Notification, NoneWithoutASessionBus)
{
	Folder folder;
	write_file(folder / "a.txt", kDosLetter);
	test::ChildOptions options;
	options.environment
			= {{"DBUS_SESSION_BUS_ADDRESS", ""}, {"XDG_RUNTIME_DIR", ""}};
	test::ChildResult run = test::run_program(
			{kHost, kImages + "/Textwend", folder / "a.txt"}, options);
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.errors,
			"window \"TXW-Addon\": Textwend-Addon | TXW-Addon\n"
			"window \"TXW-Addon\": a.txt\n"
			"Textwend: a.txt: Atari ST or DOS code page 437, the same text in "
			"both, CR LF → LF; original kept "
			"as a.txt-BAK\n");
	EXPECT_EQ(read_file(folder / "a.txt"), "Grüße\n");
}

} // namespace
