// Undoing a conversion puts the original back exactly, and only when the
// converted file is as its conversion wrote it.
#include "charmap/options.h"
#include "convert/convert.h"
#include "convert/result.h"
#include "convert/stamp.h"
#include "convert/undo.h"
#include "support/files.h"
#include "support/options.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/xattr.h>

#include <functional>
#include <map>

namespace {

using test::Folder;
using test::OptionScope;
using test::read_file;
using test::write_file;

const char kStamp[] = "user.textwend.converted";

// Everything of a file that a person would miss.
struct Snapshot {
	std::string content;
	mode_t mode = 0;
	std::map<std::string, std::string> attributes;

	bool
	operator==(const Snapshot& other) const
	{
		return content == other.content && mode == other.mode
				&& attributes == other.attributes;
	}
};

Snapshot
snapshot(const std::string& path)
{
	Snapshot shot;
	shot.content = read_file(path);
	shot.mode = test::mode_of(path);
	char names[4096];
	ssize_t size = llistxattr(path.c_str(), names, sizeof(names));
	for (ssize_t at = 0; at < size; at += strlen(names + at) + 1) {
		char value[4096];
		ssize_t got = lgetxattr(path.c_str(), names + at, value, sizeof(value));
		shot.attributes[names + at] = std::string(value, got > 0 ? got : 0);
	}
	return shot;
}

// The folder's names and contents.
std::map<std::string, std::string>
folder_state(const Folder& folder)
{
	std::map<std::string, std::string> state;
	for (const std::string& name : test::folder_entries(folder.path()))
		state[name] = read_file(folder / name);
	return state;
}

void
run(void (*call)(char*), const std::string& path)
{
	std::string copy = path;
	testing::internal::CaptureStdout();
	call(copy.data());
	testing::internal::GetCapturedStdout();
}

// German DOS text of size bytes, its lines of differing lengths.
std::string
dos_letter(size_t size)
{
	std::string text;
	for (int line = 0; text.size() < size; line++)
		text += std::string(line % 70, 'a') + "Gr\x81\xE1" + "e\r\n";
	text.resize(size);
	return text;
}


TEST(Undo, RoundTripRestoresTheOriginalExactly)
{
	const struct {
		const char* what;
		int32_t set; // fix_set: 0 detects
		std::string text;
		int conversions;
		bool selectBackup;
	} cases[] = {
			{"detected", 0,
					"Gr\x81\xE1"
					"e\r\n",
					1, false},
			{"Atari", 2,
					"Stra\x9E"
					"e \x84\n",
					1, false},
			{"DOS", 3, "\x84 \xB3\r\n", 1, false},
			{"Mac", 4,
					"K\x8A\xA7"
					"e\r",
					1, false},
			{"Windows", 5, "Caf\xE9 \xE1\n", 1, false},
			{"converted twice", 5, "K\xE4se\n", 2, false},
			{"backup selected", 0, "K\xE4se\n", 1, true},
			{"twice, backups selected", 0, "K\xE4se\n", 2, true},
			{"larger than the pieces written and read", 0,
					dos_letter(700 * 1024 + 5), 1, false},
	};
	for (const auto& c : cases) {
		Folder folder;
		std::string path = folder / "Brief.txt";
		write_file(path, c.text, 0640);
		setxattr(path.c_str(), "user.xdg.origin.url", "https://example.org", 19,
				0);
		setxattr(path.c_str(), "system.posix_acl_access",
				test::kAccessList.data(), test::kAccessList.size(), 0);
		Snapshot before = snapshot(path);

		{
			OptionScope chosen(fix_set, c.set);
			for (int n = 0; n < c.conversions; n++)
				run(AlyBFile, path);
		}
		for (int n = c.conversions; n > 0; n--) {
			std::string backup = path + "-BAK" + (n > 1 ? "2" : "");
			run(undo_conversion, c.selectBackup ? backup : path);
		}

		EXPECT_TRUE(snapshot(path) == before
				&& test::folder_entries(folder.path()).size() == 1)
				<< c.what << ": " << last_result.reason;
	}
}

// The checksum of the stamp is taken over the pieces as they are written and
// over the file as it is read: however the text is cut, it is the same, and
// an edit changes it.
TEST(Undo, ChecksumIsTheSameHoweverTheTextIsCut)
{
	const std::string text = dos_letter(300);
	auto checksum = [](const std::string& text, size_t first, size_t piece) {
		text_checksum sum;
		sum.Add(text.data(), first);
		for (size_t at = first; at < text.size(); at += piece)
			sum.Add(text.data() + at, std::min(piece, text.size() - at));
		return sum.Result();
	};
	const uint64_t whole = checksum(text, text.size(), 1);

	for (size_t first = 0; first <= text.size(); first++) {
		for (size_t piece : {1, 7, 64, 65}) {
			EXPECT_EQ(checksum(text, first, piece), whole)
					<< first << " then pieces of " << piece;
		}
		std::string edited = text;
		if (first < text.size())
			edited[first] ^= 0x20;
		else
			edited += '\0';
		std::string swapped
				= text.substr(64, 64) + text.substr(0, 64) + text.substr(128);
		EXPECT_NE(checksum(edited, 0, 64), whole) << "byte " << first;
		EXPECT_NE(checksum(swapped, 0, 64), whole);
	}
	// Two opposite edits a multiple of 4096 bytes apart ("morgen" to
	// "mOrgen" and "Brief" to "brief").
	const std::string letter(3 * 4096, 'm');
	for (size_t apart : {4096, 2 * 4096}) {
		std::string edited = letter;
		edited[10] -= 0x20;
		edited[10 + apart] += 0x20;
		EXPECT_NE(checksum(edited, 0, 4096), checksum(letter, 0, 4096))
				<< apart;
	}
}

TEST(Undo, RefusesWhatCannotBeUndoneAndLeavesEverything)
{
	const struct {
		const char* what;
		std::function<void(const Folder&)> meanwhile;
		std::string reason;
	} cases[] = {
			{"edited",
					[](const Folder& f) {
						write_file(f / "a.txt", "Käse und Brot\n", 0644);
					},
					"it was changed since its conversion"},
			{"edited, same size",
					[](const Folder& f) {
						write_file(f / "a.txt", "Käsa\n", 0644);
					},
					"it was changed since its conversion"},
			{"backup missing",
					[](const Folder& f) { unlink((f / "a.txt-BAK").c_str()); },
					"its original a.txt-BAK is missing"},
			{"backup now a link",
					[](const Folder& f) {
						unlink((f / "a.txt-BAK").c_str());
						symlink("/etc/passwd", (f / "a.txt-BAK").c_str());
					},
					"its original a.txt-BAK is not its original any more"},
			{"no stamp",
					[](const Folder& f) {
						removexattr((f / "a.txt").c_str(), kStamp);
					},
					"it carries no stamp of a conversion"},
			{"damaged stamp",
					[](const Folder& f) {
						setxattr((f / "a.txt").c_str(), kStamp, "2 x", 3, 0);
					},
					"its stamp of a conversion is damaged"},
			{"stamp of the earlier kind",
					[](const Folder& f) {
						std::string stamp = "1 6 0000000000000000 a.txt-BAK";
						setxattr((f / "a.txt").c_str(), kStamp, stamp.data(),
								stamp.size(), 0);
					},
					"its stamp is of an earlier Textwend, which did not "
					"record the original: it is not trusted"},
			{"stamp naming another file",
					[](const Folder& f) {
						std::string stamp = "2 6 0000000000000000 5 "
											"0000000000000000 secret";
						write_file(f / "secret", "mine\n");
						setxattr((f / "a.txt").c_str(), kStamp, stamp.data(),
								stamp.size(), 0);
					},
					"its stamp of a conversion is damaged"},
			{"another file moved to the backup's name",
					[](const Folder& f) {
						write_file(f / "other", "unrelated\n");
						rename((f / "other").c_str(),
								(f / "a.txt-BAK").c_str());
					},
					"its original a.txt-BAK is not its original any more"},
			{"the backup edited, same size",
					[](const Folder& f) {
						write_file(f / "a.txt-BAK", "K\xE4sa\n");
					},
					"its original a.txt-BAK is not its original any more"},
	};
	for (const auto& c : cases) {
		Folder folder;
		std::string path = folder / "a.txt";
		write_file(path, "K\xE4se\n");
		run(AlyBFile, path);
		c.meanwhile(folder);
		auto before = folder_state(folder);

		run(undo_conversion, path);

		EXPECT_EQ(folder_state(folder), before) << c.what;
		EXPECT_EQ(last_result.reason, c.reason) << c.what;
	}
}

// Killed between its two steps, a conversion (or an undo) leaves the
// converted text under the backup's name, its stamp naming that name, and
// the original under its own. The next run of either recognises it.
TEST(Undo, WhatAnInterruptedConversionLeftIsRecognised)
{
	const struct {
		const char* what;
		void (*call)(char*);
		const char* selected;
		bool editedSince;
		std::map<std::string, std::string> after;
		const char* reason;
		const char* notice; // on standard error, after the path
	} cases[] = {
			{"converted again", AlyBFile, "a.txt", false,
					{{"a.txt", "Käse\n"}, {"a.txt-BAK", "K\xE4se\n"}}, "",
					"a.txt-BAK': left by an interrupted conversion; removed, "
					"as a.txt still holds its original\n"},
			{"converted again, edited since", AlyBFile, "a.txt", true,
					{{"a.txt", "Käse!\n"}, {"a.txt-BAK", "Käse\n"},
							{"a.txt-BAK2", "K\xE4se!\n"}},
					"",
					"a.txt-BAK': left by an interrupted conversion of an "
					"earlier version; kept\n"},
			{"undone", undo_conversion, "a.txt-BAK", false,
					{{"a.txt", "K\xE4se\n"}}, "",
					"a.txt-BAK': left by an interrupted conversion; removed, "
					"as a.txt still holds its original\n"},
			{"the original undone", undo_conversion, "a.txt", false,
					{{"a.txt", "K\xE4se\n"}, {"a.txt-BAK", "Käse\n"}},
					"it was not converted: a.txt-BAK is what an interrupted "
					"conversion left; undo that",
					NULL},
			{"undone, edited since", undo_conversion, "a.txt-BAK", true,
					{{"a.txt", "K\xE4se!\n"}, {"a.txt-BAK", "Käse\n"}},
					"it was left by an interrupted conversion, and a.txt has "
					"changed since; it is kept",
					NULL},
	};
	for (const auto& c : cases) {
		Folder folder;
		std::string path = folder / "a.txt";
		write_file(path, "K\xE4se\n");
		run(AlyBFile, path);
		// The state the kill leaves: the two names not yet traded.
		ASSERT_EQ(renameat2(AT_FDCWD, path.c_str(), AT_FDCWD,
						  (path + "-BAK").c_str(), RENAME_EXCHANGE),
				0);
		if (c.editedSince)
			write_file(path, "K\xE4se!\n");

		testing::internal::CaptureStderr();
		run(c.call, folder / c.selected);
		std::string notices = testing::internal::GetCapturedStderr();

		EXPECT_EQ(folder_state(folder), c.after) << c.what;
		EXPECT_EQ(last_result.reason, c.reason) << c.what;
		EXPECT_EQ(notices,
				c.notice != NULL
						? "Textwend: '" + folder.path() + "/" + c.notice
						: "")
				<< c.what;
	}
}

// A converted file's stamp is of its own conversion: written beside the
// source, the new file carries none, so it cannot be undone as if it were
// the source.
TEST(Undo, TheSourcesStampIsNotCarriedOver)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");
	run(AlyBFile, path);
	{
		OptionScope beside(r_modus, 1);
		run(AlyBFile, path);
	}

	EXPECT_LT(getxattr((path + "-N").c_str(), kStamp, NULL, 0), 0);
}

// The host lets an owner set attributes only on a file they may write.
TEST(Undo, ReadOnlyFileOfAUserIsStampedAndUndone)
{
	Folder folder;
	test::give_to_child(folder.path());
	std::string path = folder / "ro.txt";
	write_file(path, "K\xE4se\n", 0444);
	test::give_to_child(path);
	test::ChildOptions options;
	options.asNobody = true;

	auto result = test::run_child(folder / ".stdout", options, [path]() {
		run(AlyBFile, path);
		run(undo_conversion, path);
		fputs(last_result.reason.c_str(), stderr);
	});
	if (result.status == test::kChildSetupFailed)
		GTEST_SKIP() << "could not run the child as an unprivileged user";

	EXPECT_EQ(read_file(path), "K\xE4se\n") << result.errors;
}

} // namespace
