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

// What a run cut off leaves, and what an earlier Textwend left when it was
// killed between its two steps (the converted text under the backup's name,
// its stamp of the earlier kind naming that name), is recognised by the next
// run: what is ours to remove goes, what may be the person's stays, named.
TEST(Undo, WhatAnInterruptedRunLeftIsRecognised)
{
	const struct {
		const char* what;
		void (*left)(const Folder& f); // after a.txt was written
		void (*call)(char*);
		const char* selected;
		std::map<std::string, std::string> after;
		const char* reason;
		const char* notice; // on standard error, after the folder
	} cases[] = {
			{"a second name as the backup, converted",
					[](const Folder& f) {
						link((f / "a.txt").c_str(), (f / "a.txt-BAK").c_str());
					},
					AlyBFile, "a.txt",
					{{"a.txt", "Käse\n"}, {"a.txt-BAK", "K\xE4se\n"}}, "",
					NULL},
			{"a second name as the backup, undone",
					[](const Folder& f) {
						link((f / "a.txt").c_str(), (f / "a.txt-BAK").c_str());
					},
					undo_conversion, "a.txt-BAK", {{"a.txt", "K\xE4se\n"}}, "",
					"a.txt-BAK': a second name of a.txt, left by an "
					"interrupted run; removed\n"},
			{"a new text under its hidden name, converted",
					[](const Folder& f) {
						run(AlyBFile, f / "a.txt");
						rename((f / "a.txt-BAK").c_str(),
								(f / "a.txt.orig").c_str());
						rename((f / "a.txt").c_str(),
								(f / ".a.txt.textwend").c_str());
						rename((f / "a.txt.orig").c_str(),
								(f / "a.txt").c_str());
					},
					AlyBFile, "a.txt",
					{{"a.txt", "Käse\n"}, {"a.txt-BAK", "K\xE4se\n"}}, "",
					".a.txt.textwend': left by an interrupted conversion; "
					"removed\n"},
			{"an earlier Textwend's, converted",
					[](const Folder& f) {
						write_file(f / "a.txt-BAK", "Käse\n");
						setxattr((f / "a.txt-BAK").c_str(), kStamp,
								"1 6 0000000000000000 a.txt-BAK", 30, 0);
					},
					AlyBFile, "a.txt",
					{{"a.txt", "Käse\n"}, {"a.txt-BAK", "Käse\n"},
							{"a.txt-BAK2", "K\xE4se\n"}},
					"",
					"a.txt-BAK': left by an interrupted conversion of an "
					"earlier Textwend; kept\n"},
			{"an earlier Textwend's, undone",
					[](const Folder& f) {
						write_file(f / "a.txt-BAK", "Käse\n");
						setxattr((f / "a.txt-BAK").c_str(), kStamp,
								"1 6 0000000000000000 a.txt-BAK", 30, 0);
					},
					undo_conversion, "a.txt-BAK",
					{{"a.txt", "K\xE4se\n"}, {"a.txt-BAK", "Käse\n"}},
					"it is what an interrupted conversion by an earlier "
					"Textwend left; a.txt still holds the original",
					NULL},
			{"an earlier Textwend's, the original undone",
					[](const Folder& f) {
						write_file(f / "a.txt-BAK", "Käse\n");
						setxattr((f / "a.txt-BAK").c_str(), kStamp,
								"1 6 0000000000000000 a.txt-BAK", 30, 0);
					},
					undo_conversion, "a.txt",
					{{"a.txt", "K\xE4se\n"}, {"a.txt-BAK", "Käse\n"}},
					"it was not converted: a.txt-BAK is what an interrupted "
					"conversion by an earlier Textwend left",
					NULL},
	};
	for (const auto& c : cases) {
		Folder folder;
		write_file(folder / "a.txt", "K\xE4se\n");
		c.left(folder);

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
