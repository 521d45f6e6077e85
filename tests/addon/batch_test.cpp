// Whole batches through the host, as the file manager runs them: without a
// display or a terminal, on real files.
#include "support/files.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

using test::Folder;
using test::read_file;
using test::write_file;

const std::string kHost = TEXTWEND_HOST;
const std::string kImage = TEXTWEND_IMAGE;
const std::string kLatexImage = TEXTWEND_LATEX_IMAGE;
const std::string kImages = TEXTWEND_IMAGE_DIR;

// The host on the paths, in the folder that holds them, as the file manager
// runs it: in its own session with no terminal, no display and nothing on
// standard input. Files it writes may be limited in size.
test::ChildResult
run_host(const Folder& folder, const std::vector<std::string>& paths,
		const std::string& image = kImage, rlim_t fileSizeLimit = RLIM_INFINITY)
{
	std::vector<std::string> arguments = {kHost, image};
	arguments.insert(arguments.end(), paths.begin(), paths.end());
	test::ChildOptions options;
	options.folder = folder.path();
	options.fileSizeLimit = fileSizeLimit;
	return test::run_program(arguments, options);
}

std::string
converted_output(const std::string& path)
{
	return "\t\n rename: '" + path + "' \n \t to: '" + path + "-BAK'\n\n\n";
}

TEST(Batch, ConvertsEachAcceptedFileInSelectionOrder)
{
	Folder folder;
	struct Letter {
		std::string name;
		std::string before;
		std::string after;
	};
	const Letter letters[] = {
			{"dos.txt",
					"Gr\x81\xE1"
					"e\r\n",
					"Grüße\n"},
			{"mac.txt",
					"K\x8A\xA7"
					"e\r",
					"Käße\n"},
			{"Grüße aus Köln.txt", "K\xE4se\n", "Käse\n"},
			{"utf-8.txt", "Käse\n", "Käse\n"},
	};
	std::vector<std::string> paths;
	std::string expected;
	for (const Letter& letter : letters) {
		write_file(folder / letter.name, letter.before);
		paths.push_back(folder / letter.name);
		expected += converted_output(folder / letter.name);
	}

	test::ChildResult run = run_host(folder, paths);

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output, expected);
	size_t shown = 0;
	for (const Letter& letter : letters) {
		EXPECT_EQ(read_file(folder / letter.name), letter.after) << letter.name;
		EXPECT_EQ(read_file(folder / (letter.name + "-BAK")), letter.before)
				<< letter.name;
		// The status window names the files, in order.
		size_t at = run.errors.find(letter.name, shown);
		EXPECT_NE(at, std::string::npos) << letter.name << "\n" << run.errors;
		shown = at == std::string::npos ? shown : at;
	}
	EXPECT_EQ(run.errors.find("alert"), std::string::npos)
			<< "everything was converted:\n"
			<< run.errors;
}

TEST(Batch, PassesOverWhatIsNoFileWithData)
{
	Folder folder;
	write_file(folder / "target.txt", "\x84\r\n");
	write_file(folder / "empty.txt", "");
	ASSERT_EQ(symlink("target.txt", (folder / "link.txt").c_str()), 0);
	ASSERT_EQ(mkdir((folder / "shared").c_str(), 0775), 0);
	ASSERT_EQ(chmod((folder / "shared").c_str(), 02775), 0);
	write_file(folder / "setuid", "\x84\r\n", 04755);
	ASSERT_EQ(test::mode_of(folder / "setuid") & 07777, 04755u);

	test::ChildResult run = run_host(folder,
			{folder / "empty.txt", folder / "link.txt", folder / "shared",
					folder / "setuid"});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output, "");
	EXPECT_EQ(run.errors.find("No files selected"), std::string::npos)
			<< "entries were selected, none converted";
	EXPECT_EQ(read_file(folder / "target.txt"), "\x84\r\n");
	EXPECT_TRUE(S_ISLNK(test::mode_of(folder / "link.txt")));
	EXPECT_TRUE(S_ISDIR(test::mode_of(folder / "shared")));
	EXPECT_EQ(read_file(folder / "setuid"), "\x84\r\n");
	for (const char* name : {"empty.txt", "link.txt", "shared", "setuid"})
		EXPECT_FALSE(test::exists(folder / (std::string(name) + "-BAK")))
				<< name;
}

TEST(Batch, LongPathsAndNamesAreHandledWhole)
{
	Folder folder;
	std::string deep = folder.path();
	while (deep.size() < 300) {
		deep += "/" + std::string(60, 'o');
		ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
	}
	std::string longPath = deep + "/brief.txt";
	std::string longName = folder / (std::string(240, 'n') + ".txt");
	write_file(longPath, "\x84\r\n");
	write_file(longName, "\x84\r\n");

	test::ChildResult run = run_host(folder, {longPath, longName});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output,
			converted_output(longPath) + converted_output(longName));
	EXPECT_EQ(read_file(longPath), "ä\n");
	EXPECT_EQ(read_file(longName), "ä\n");
}

TEST(Batch, EmptySelectionIsReportedByTheAlert)
{
	Folder folder;
	test::ChildResult run = run_host(folder, {});
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.output, "");
	EXPECT_NE(run.errors.find("No files selected.."), std::string::npos)
			<< run.errors;
}

TEST(Batch, MixtureInOneSelection)
{
	Folder folder;
	write_file(folder / "a.txt", "\x84\r\n");
	write_file(folder / "empty", "");
	ASSERT_EQ(symlink("a.txt", (folder / "link").c_str()), 0);
	ASSERT_EQ(mkdir((folder / "dir").c_str(), 02775), 0);
	ASSERT_EQ(chmod((folder / "dir").c_str(), 02775), 0);
	write_file(folder / "suid", "x\r\n", 04755);
	std::string name = std::string(220, 'z');
	write_file(folder / name, "K\xE4se\r\n");

	test::ChildResult run = run_host(folder,
			{folder / "empty", folder / "a.txt", folder / "link",
					folder / "dir", folder / "suid", folder / name});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output,
			converted_output(folder / "a.txt")
					+ converted_output(folder / name));
	EXPECT_EQ(read_file(folder / "a.txt"), "ä\n");
	EXPECT_EQ(read_file(folder / name), "Käse\n");
	EXPECT_TRUE(S_ISLNK(test::mode_of(folder / "link")));
	EXPECT_FALSE(test::exists(folder / "dir-BAK"));
}

TEST(Batch, EachEntryIsReportedInAPersonsWords)
{
	Folder folder;
	ASSERT_EQ(mkdir((folder / "Bilder").c_str(), 0755), 0);
	const std::string big = "Gr\x81\xE1"
							"e\r\n"
			+ std::string(8192, 'x');
	struct Entry {
		std::string name;
		std::string content; // none for the folder
		std::string line;    // what the report says, after "Textwend: "
	} entries[] = {
			{"Brief.txt",
					"Gr\x81\xE1"
					"e\r\n",
					"Brief.txt: Atari ST or DOS code page 437, the same text "
					"in both, CR LF → LF; original kept as Brief.txt-BAK"},
			{"mac.txt",
					"K\x8A"
					"se\r",
					"mac.txt: Macintosh, CR → LF; original "
					"kept as mac.txt-BAK"},
			{"utf-8.txt", "Käse\n",
					"utf-8.txt: already UTF-8; original kept as "
					"utf-8.txt-BAK"},
			{"plain.txt", "plain\r\n",
					"plain.txt: no known character set "
					"found, line ends only; original kept as plain.txt-BAK"},
			{"Bilder", "", "Bilder: a folder, passed over"},
			{"leer.txt", "", "leer.txt: an empty file, passed over"},
			// Its name takes its letters in the text's set, its control
			// character as it is: both names shown escaped.
			{"new\nline\xFF", "K\xE4se\n",
					"new\\x0Aline\\xFF: Windows ANSI; now named "
					"new\\x0Alineÿ; original kept as new\\x0Aline\\xFF-BAK"},
			// Larger than the files the host may write.
			{"big.txt", big, "big.txt: left as it was: "},
	};
	std::vector<std::string> paths;
	for (const Entry& entry : entries) {
		if (entry.name != "Bilder")
			write_file(folder / entry.name, entry.content);
		paths.push_back(folder / entry.name);
	}

	test::ChildResult run = run_host(folder, paths, kImage, 4096);

	EXPECT_EQ(run.status, 1) << "one file was left as it was";
	size_t at = 0;
	for (const Entry& entry : entries) {
		size_t found = run.errors.find("\nTextwend: " + entry.line, at);
		EXPECT_NE(found, std::string::npos) << entry.line << "\n" << run.errors;
		at = found == std::string::npos ? at : found + 1;
	}
	EXPECT_EQ(read_file(folder / "big.txt"), big);
	// The alert at the end names the three that were not converted.
	EXPECT_NE(run.errors.find("3 of 8 entries were not converted:"),
			std::string::npos)
			<< run.errors;
}

// The set that the letter reads in, whatever its umlaut codes say; a text
// that reads in no set is never written as no UTF-8.
TEST(Batch, TheSetIsTheOneTheLetterReadsIn)
{
	std::string noise;
	for (unsigned i = 0, x = 1; i < 3000; i++, x = x * 1103515245 + 12345)
		noise += (char)(x >> 16);
	const struct {
		const char* name;
		std::string image;
		std::string before;
		std::string after; // empty: left as it was
		std::string line;
	} cases[] = {
			{"Preis.txt", kImage, "Preis: 5 \x80 (\xA7 3)\r\n",
					"Preis: 5 € (§ 3)\n",
					"Windows ANSI (its umlaut codes also fit Macintosh), CR LF "
					"→ LF; original kept as Preis.txt-BAK\n"},
			{"Cafe.txt", kImage, "Caf\xE9 au lait\r\n", "Café au lait\n",
					"Windows ANSI, CR LF → LF; original kept as "
					"Cafe.txt-BAK\n"},
			{"z.txt", kImage,
					"z.\xFF"
					"B. sch\x94n\r\n",
					"z.\u00A0B. schön\n",
					"DOS code page 437 (its umlaut codes also fit Atari ST), "
					"CR "
					"LF → LF; original kept as z.txt-BAK\n"},
			{"noise", kImage, noise, "-",
					"; original kept as noise-BAK; doubtful: check it, and "
					"undo if it reads wrong\n"},
			// UTF-8 with a line from an older file stays UTF-8, also where
			// the person named a set; so does UTF-8 cut inside its last
			// character.
			{"stray.txt", kImage,
					"Gr\xC3\xBC\xC3\x9F"
					"e\nCaf\xE9\n",
					"Grüße\nCafé\n",
					"stray.txt: UTF-8 with 1 byte of Windows ANSI; original "
					"kept as stray.txt-BAK\n"},
			{"chosen.txt", kImages + "/Textwend-Mac",
					"Gr\xC3\xBC\xC3\x9F"
					"e\nCaf\xE9\n",
					"Grüße\nCafÈ\n",
					"chosen.txt: UTF-8 with 1 byte of Macintosh; original kept "
					"as chosen.txt-BAK\n"},
			{"cut.txt", kImage, "K\xC3\xB6ln, Gr\xC3\xBC\xC3", "Köln, GrüÃ",
					"cut.txt: UTF-8 with 1 byte of Windows ANSI; original kept "
					"as cut.txt-BAK; doubtful"},
			{"dos.txt", kImage,
					"Gr\x81\xE1"
					"e aus K\x94ln\r\n",
					"Grüße aus Köln\n",
					"dos.txt: Atari ST or DOS code page 437, the same text in "
					"both, CR LF → LF; original kept as dos.txt-BAK\n"},
			{"Wert.txt", kImage, "Wert \x8F\xE0 gesetzt\r\n", "",
					"Wert.txt: no known character set found; left as it "
					"was\n"},
			{"mixed.tex", kLatexImage, "Gr\"u\"se aus dem Caf\xE9\n", "",
					"mixed.tex: left as it was: it holds 8-bit characters "
					"beside its LaTeX umlauts\n"},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.name);
		Folder folder;
		write_file(folder / c.name, c.before);
		test::ChildResult run = run_host(folder, {folder / c.name}, c.image);
		EXPECT_NE(run.errors.find(c.line), std::string::npos) << run.errors;
		if (c.after.empty()) {
			EXPECT_EQ(run.status, 1);
			EXPECT_EQ(read_file(folder / c.name), c.before);
			EXPECT_EQ(test::folder_entries(folder.path()),
					std::vector<std::string> {c.name});
		} else if (c.after != "-") {
			EXPECT_EQ(run.status, 0);
			EXPECT_EQ(read_file(folder / c.name), c.after);
		}
	}
}

// A text repaired into UTF-8 is stamped with its own bytes: undo gives
// them back.
TEST(Batch, ARepairedTextIsUndoneToItsOwnBytes)
{
	Folder folder;
	const std::string before = "Gr\xC3\xBC\xC3\x9F"
							   "e\nCaf\xE9\n";
	write_file(folder / "a.txt", before);
	run_host(folder, {folder / "a.txt"});
	ASSERT_EQ(read_file(folder / "a.txt"), "Grüße\nCafé\n");

	test::ChildResult run
			= run_host(folder, {folder / "a.txt"}, kImages + "/Textwend-Undo");

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(read_file(folder / "a.txt"), before);
}

// Converted with doubt, a file is still converted, but the alert at the
// end names it with the set taken and the next best.
TEST(Batch, TheAlertNamesWhatWasConvertedWithDoubt)
{
	Folder folder;
	write_file(folder / "a.txt", "K\xE4se\n");
	write_file(folder / "b.txt", "\xC4\n");
	write_file(folder / "c.txt", "K\xC3\xB6ln, Gr\xC3\xBC\xC3");

	test::ChildResult run = run_host(
			folder, {folder / "a.txt", folder / "b.txt", folder / "c.txt"});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("2 of 3 entries were converted with doubt; check "
							  "them, and undo what reads wrong:\n\nb.txt: "
							  "taken for Windows ANSI, next best"),
			std::string::npos)
			<< run.errors;
	// A text of UTF-8 cut short: the set of its last byte.
	EXPECT_NE(run.errors.find("\nc.txt: taken for Windows ANSI, next best"),
			std::string::npos)
			<< run.errors;
}

// One file selected twice, by its name and by a second name, is converted
// once: the batch does not convert what it has just written.
TEST(Batch, AFileSelectedTwiceIsConvertedOnce)
{
	Folder folder;
	write_file(folder / "a.txt", "K\xE4se\r\n");
	ASSERT_EQ(link((folder / "a.txt").c_str(), (folder / "b.txt").c_str()), 0);

	test::ChildResult run = run_host(
			folder, {folder / "a.txt", folder / "a.txt", folder / "b.txt"});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(read_file(folder / "a.txt"), "Käse\n");
	EXPECT_EQ(read_file(folder / "a.txt-BAK"), "K\xE4se\r\n");
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"a.txt", "a.txt-BAK", "b.txt"}));
	for (const char* name : {"a.txt", "b.txt"})
		EXPECT_NE(run.errors.find(std::string("Textwend: ") + name
						  + ": converted with the entry above\n"),
				std::string::npos)
				<< run.errors;
}

// A picture or a document of a word processor is no text, whatever its
// name: every image that converts passes it over and leaves it as it was.
TEST(Batch, WhatIsNoTextIsPassedOverByEveryImage)
{
	const struct {
		const char* name;
		std::string content;
	} files[] = {
			{"bild.txt",
					std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x01"
								"\0\0\0\x01\x08\x02\0\0\0\x90wS\xDE",
							33)},
			{"Brief.doc", std::string("\xFFWPC\x10\0\0\0\x01\x0A\0\0", 12)},
	};
	for (const char* image : {"Textwend", "Textwend-DOS", "Textwend-LaTeX"}) {
		SCOPED_TRACE(image);
		Folder folder;
		std::vector<std::string> paths;
		for (const auto& f : files) {
			write_file(folder / f.name, f.content);
			paths.push_back(folder / f.name);
		}
		test::ChildResult run = run_host(folder, paths, kImages + "/" + image);
		EXPECT_EQ(run.status, 0) << run.errors;
		EXPECT_EQ(run.output, "");
		for (const auto& f : files) {
			EXPECT_EQ(read_file(folder / f.name), f.content) << f.name;
			EXPECT_NE(run.errors.find(std::string("\nTextwend: ") + f.name
							  + ": not a text file, passed over\n"),
					std::string::npos)
					<< run.errors;
		}
		EXPECT_EQ(test::folder_entries(folder.path()),
				(std::vector<std::string> {"Brief.doc", "bild.txt"}));
	}
}

// The originals of a conversion, and of each one before it, are its
// backups: converting one would tangle its history. Undo takes them back.
TEST(Batch, TheBackupsOfAConversionAreLeftAlone)
{
	Folder folder;
	write_file(folder / "Brief.txt", "K\x84se\r\n");
	write_file(folder / "Notiz.txt-BAK", "K\x84se\r\n");
	ASSERT_EQ(run_host(folder, {folder / "Brief.txt"}).status, 0);
	ASSERT_EQ(run_host(folder, {folder / "Brief.txt"}).status, 0);
	const std::string refusal = ": left as it was: it is the backup of "
								"Brief.txt's conversion; undo Brief.txt to "
								"get it back\n";
	for (const char* backup : {"Brief.txt-BAK2", "Brief.txt-BAK"}) {
		for (const std::string image : {"Textwend", "Textwend-Windows"}) {
			SCOPED_TRACE(std::string(backup) + ", " + image);
			std::string before = read_file(folder / backup);
			test::ChildResult run = run_host(
					folder, {folder / backup}, kImages + "/" + image);
			EXPECT_EQ(run.status, 1);
			EXPECT_NE(run.errors.find(
							  "\nTextwend: " + std::string(backup) + refusal),
					std::string::npos)
					<< run.errors;
			EXPECT_EQ(read_file(folder / backup), before);
		}
	}
	// A name like a backup's, with no conversion behind it, is a file.
	EXPECT_EQ(run_host(folder, {folder / "Notiz.txt-BAK"}).status, 0);
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"Brief.txt", "Brief.txt-BAK",
					"Brief.txt-BAK2", "Notiz.txt-BAK", "Notiz.txt-BAK-BAK"}));
	// Undone from its backups, newest first, the letter is back.
	for (const char* backup : {"Brief.txt-BAK2", "Brief.txt-BAK"})
		EXPECT_EQ(
				run_host(folder, {folder / backup}, kImages + "/Textwend-Undo")
						.status,
				0)
				<< backup;
	EXPECT_EQ(read_file(folder / "Brief.txt"), "K\x84se\r\n");
}

// Letters in the DOS code page, each its own.
std::vector<std::string>
write_letters(const Folder& folder, int count, std::vector<std::string>& texts)
{
	std::vector<std::string> paths;
	for (int n = 0; n < count; n++) {
		std::string name = "Brief" + std::to_string(n) + ".txt";
		texts.push_back("Gr\x81\xE1"
						"e aus K\x94ln, Brief "
				+ std::to_string(n) + "\r\n");
		write_file(folder / name, texts.back());
		paths.push_back(folder / name);
	}
	return paths;
}

// Two runs on the same letters at once, any two images, as a double click
// or a second choice from the menu starts them: every original stays under
// its name or a backup name, nothing else is left, and every line either
// run tells is true.
TEST(Batch, TwoRunsAtOnceLoseNothingAndTellTheTruth)
{
	const char* kOtherRun = "left as it was: it is being converted by another "
							"Textwend run";
	const char* kKept = "; original kept as ";
	const struct {
		const char* first;
		const char* second;
	} pairs[] = {
			{"Textwend", "Textwend"},
			{"Textwend-DOS", "Textwend-Windows"},
			{"Textwend-Windows", "Textwend"},
	};
	const int kLetters = 50;
	const int kTries = 2;
	for (const auto& pair : pairs) {
		for (int attempt = 0; attempt < kTries; attempt++) {
			Folder folder;
			std::vector<std::string> texts;
			std::vector<std::string> paths
					= write_letters(folder, kLetters, texts);
			test::Program runs[2];
			for (int i = 0; i < 2; i++) {
				std::vector<std::string> arguments = {kHost,
						kImages + "/" + (i == 0 ? pair.first : pair.second)};
				arguments.insert(arguments.end(), paths.begin(), paths.end());
				test::ChildOptions options;
				options.folder = folder.path();
				ASSERT_TRUE(runs[i].Start(arguments, options));
			}
			std::string what = std::string(pair.first) + " and " + pair.second
					+ ", try " + std::to_string(attempt + 1);
			int lost = 0;
			int untrue = 0;
			for (auto& run : runs) {
				for (const auto& line :
						test::split_lines(run.Finish().errors)) {
					const std::string& text = line[0];
					if (text.rfind("Textwend: Brief", 0) != 0)
						continue;
					size_t kept = text.find(kKept);
					std::string name = text.substr(10, text.find(':', 10) - 10);
					// A backup that it names holds what the run converted:
					// the original, or what the other run made of it.
					if (kept != std::string::npos) {
						std::string backup = text.substr(kept + strlen(kKept));
						std::string held = read_file(folder / backup);
						bool original
								= std::find(texts.begin(), texts.end(), held)
								!= texts.end();
						if (!test::exists(folder / backup)
								|| (!original
										&& held != read_file(folder / name)))
							untrue++, ADD_FAILURE() << what << ": " << text;
					} else if (text.find(kOtherRun) == std::string::npos) {
						untrue++, ADD_FAILURE() << what << ": " << text;
					}
				}
			}
			std::vector<std::string> entries
					= test::folder_entries(folder.path());
			for (int n = 0; n < kLetters; n++) {
				std::string name = "Brief" + std::to_string(n) + ".txt";
				bool found = false;
				for (const std::string& entry : entries) {
					found = found
							|| (entry.rfind(name, 0) == 0
									&& read_file(folder / entry) == texts[n]);
				}
				lost += found ? 0 : 1;
			}
			for (const std::string& entry : entries)
				EXPECT_EQ(entry.rfind("Brief", 0), 0u) << what << ": " << entry;
			EXPECT_EQ(lost, 0) << what << ": originals lost";
			EXPECT_EQ(untrue, 0) << what << ": lines that are not true";
		}
	}
}

// However few descriptors the process may have, every letter is converted:
// the batch waits in windows that fit, down to none.
TEST(Batch, EveryLetterIsConvertedUnderAnyDescriptorLimit)
{
	const struct {
		rlim_t limit;
		int letters;
	} rows[] = {{64, 200}, {16, 50}};
	for (const auto& row : rows) {
		Folder folder;
		std::vector<std::string> texts;
		std::vector<std::string> paths
				= write_letters(folder, row.letters, texts);
		std::vector<std::string> arguments = {kHost, kImage};
		arguments.insert(arguments.end(), paths.begin(), paths.end());
		test::ChildOptions options;
		options.folder = folder.path();
		options.descriptorLimit = row.limit;

		test::ChildResult run = test::run_program(arguments, options);
		EXPECT_EQ(run.status, 0)
				<< row.limit << ": " << run.errors.substr(0, 2000);
		int converted = 0;
		for (int n = 0; n < row.letters; n++)
			converted += read_file(paths[n] + "-BAK") == texts[n] ? 1 : 0;
		EXPECT_EQ(converted, row.letters) << row.limit;
	}
}

TEST(Batch, AMissingPathIsPassedOverAndTheRestConverted)
{
	Folder folder;
	write_file(folder / "a.txt", "\x84\r\n");
	write_file(folder / "c.txt", "\x84\r\n");

	test::ChildResult run = run_host(
			folder, {folder / "a.txt", folder / "b.txt", folder / "c.txt"});

	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(read_file(folder / "a.txt"), "ä\n");
	EXPECT_EQ(read_file(folder / "c.txt"), "ä\n");
	EXPECT_NE(run.errors.find("tracker-run: " + folder / "b.txt"
					  + ": No such file or directory, passed over\n"),
			std::string::npos)
			<< run.errors;
}

TEST(Batch, OnlyTheLatexImageReadsLatexNotation)
{
	const struct {
		const std::string& image;
		std::string after;
	} cases[] = {
			{kImage, "Gr\"u\"se\n"},
			{kLatexImage, "Grüße\n"},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.image);
		Folder folder;
		write_file(folder / "brief.tex", "Gr\"u\"se\n");
		test::ChildResult run
				= run_host(folder, {folder / "brief.tex"}, c.image);
		EXPECT_EQ(run.status, 0) << run.errors;
		EXPECT_EQ(read_file(folder / "brief.tex"), c.after);
	}
}

TEST(Batch, EachChosenSetImageConvertsFromItsSet)
{
	// Texts that detection takes for another set.
	const struct {
		const char* image;
		std::string before;
		std::string after;
		std::string line;
	} cases[] = {
			{"Textwend-Atari",
					"Gr\x81\xE1"
					"e \xB0\n",
					"Grüße ã\n", "Atari ST (TOS)"},
			{"Textwend-DOS", "\x84 \x9E\n", "ä ₧\n", "DOS code page 437"},
			{"Textwend-Mac", "\x8A \x84\x94\n", "ä Ñî\n", "Macintosh"},
			{"Textwend-Windows", "Caf\xE9 \xE1\n", "Café á\n", "Windows ANSI"},
			{"Textwend-Windows", "Käse\n", "Käse\n",
					"already UTF-8, not read as Windows ANSI"},
	};
	for (const auto& c : cases) {
		Folder folder;
		write_file(folder / "Brief.txt", c.before);
		test::ChildResult run = run_host(
				folder, {folder / "Brief.txt"}, kImages + "/" + c.image);
		EXPECT_EQ(read_file(folder / "Brief.txt"), c.after) << c.image;
		EXPECT_NE(run.errors.find("Textwend: Brief.txt: " + c.line + ";"),
				std::string::npos)
				<< run.errors;
	}
}

TEST(Batch, UndoImagePutsOriginalsBackAndTellsWhyNot)
{
	Folder folder;
	for (const char* name : {"a.txt", "edited.txt", "b.txt"})
		write_file(folder / name, "K\xE4se\r\n");
	run_host(folder, {folder / "a.txt", folder / "edited.txt"});
	write_file(folder / "edited.txt", "Käse, edited\n");

	test::ChildResult run = run_host(folder,
			{folder / "a.txt", folder / "a.txt-BAK", folder / "edited.txt",
					folder / "b.txt"},
			kImages + "/Textwend-Undo");

	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {
					"a.txt", "b.txt", "edited.txt", "edited.txt-BAK"}));
	EXPECT_EQ(read_file(folder / "a.txt"), "K\xE4se\r\n");
	for (const char* line :
			{"\nTextwend: a.txt: conversion undone; the original is back from "
			 "a.txt-BAK\n",
					"\nTextwend: edited.txt: left as it was: it was changed "
					"since its conversion\n",
					"\nTextwend: b.txt: left as it was: it carries no stamp of "
					"a conversion\n",
					"\nTextwend: a.txt-BAK: undone with the entry above\n",
					"2 of 4 entries were not undone:"})
		EXPECT_NE(run.errors.find(line), std::string::npos)
				<< line << run.errors;
}

} // namespace

namespace {

// In German where the person's language is German: the report lines, the
// notices and the alert; standard output and the status window keep their
// words. A conversion, then an undo whose original is gone.
TEST(Batch, SpeaksThePersonsLanguage)
{
	auto batches = [](const Folder& folder, const std::string& language) {
		write_file(folder / "Brief.txt",
				"Gr\x81\xE1"
				"e\r\n");
		// Two more names of the letter keep its original text.
		link((folder / "Brief.txt").c_str(), (folder / "Kopie1").c_str());
		link((folder / "Brief.txt").c_str(), (folder / "Kopie2").c_str());
		mkdir((folder / "Bilder").c_str(), 0755);
		write_file(folder / "big.txt",
				"Gr\x81\xE1"
				"e\r\n" + std::string(8192, 'x'));
		test::ChildOptions options;
		options.folder = folder.path();
		options.fileSizeLimit = 4096;
		options.environment
				= {{"LANG", "C.UTF-8"}, {"LC_ALL", ""}, {"LANGUAGE", language}};
		test::ChildResult run = test::run_program(
				{kHost, kImage, "Brief.txt", "Bilder", "big.txt"}, options);
		unlink((folder / "Brief.txt-BAK").c_str());
		test::ChildResult undo = test::run_program(
				{kHost, kImages + "/Textwend-Undo", "Brief.txt"}, options);
		run.output += undo.output;
		run.errors += undo.errors;
		// The record and the notices name the folder; the same in both.
		for (std::string* text : {&run.output, &run.errors}) {
			for (size_t at;
					(at = text->find(folder.path())) != std::string::npos;)
				text->replace(at, folder.path().size(), "FOLDER");
		}
		return run;
	};
	Folder english;
	Folder german;
	test::ChildResult run = batches(german, "de");

	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.output, batches(english, "").output);
	EXPECT_EQ(read_file(german / "Brief.txt"), "Grüße\n");
	for (const char* line :
			{"window \"TXW-Addon\": Textwend-Addon | TXW-Addon\n",
					"\nTextwend: Brief.txt: Atari ST oder DOS-Codepage 437, in "
					"beiden derselbe Text, CR LF → LF; Original behalten als "
					"Brief.txt-BAK\n",
					"\nTextwend: 'FOLDER/Brief.txt': ihre 2 anderen Namen "
					"behalten den ursprünglichen Text\n",
					"\nTextwend: Bilder: ein Ordner, übergangen\n",
					"\nTextwend: big.txt: blieb, wie sie war: der neue Text "
					"lässt sich nicht schreiben: ",
					"\n\t2 von 3 Einträgen wurden nicht umgewandelt:\n",
					"\nTextwend: Brief.txt: blieb, wie sie war: ihr Original "
					"Brief.txt-BAK fehlt\n"})
		EXPECT_NE(run.errors.find(line), std::string::npos)
				<< line << run.errors;
}

} // namespace
