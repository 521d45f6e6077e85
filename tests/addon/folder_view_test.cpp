// What a file manager that follows GIO's file monitor shows of a folder
// after a batch: the monitor's events, applied in order to a listing of
// the folder (support/folder_view.py), against the names on the disk. GNOME
// Files takes a rename as one (G_FILE_MONITOR_WATCH_MOVES), Nemo as a
// removal and a creation (no flag).
#include "support/files.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using test::Folder;
using test::write_file;

const std::string kHost = TEXTWEND_HOST;
const std::string kImages = TEXTWEND_IMAGE_DIR;
const std::string kWatcher
		= TEXTWEND_SOURCE_DIR "/tests/support/folder_view.py";
const int kSkipped = 77;

const std::string kDosLetter = "Gr\x81\xE1"
							   "e\r\n";

// How the monitor reports a rename.
const char* const kMoves[] = {"none", "send", "watch"};

struct View {
	int status = -1;
	std::string shown; // the names the events leave, blank-separated
	std::string disk;  // the names on the disk
	std::string log;   // everything the watcher said
};

// Runs the watcher on folder with arguments after the folder.
View
watch(const Folder& folder, const char* moves,
		const std::vector<std::string>& arguments, rlim_t fileSizeLimit)
{
	std::vector<std::string> command
			= {"/usr/bin/python3", kWatcher, "--moves", moves, folder.path()};
	command.insert(command.end(), arguments.begin(), arguments.end());
	test::ChildOptions options;
	options.fileSizeLimit = fileSizeLimit;
	test::ChildResult run = test::run_program(command, options);
	View view;
	view.status = run.status;
	view.log = run.output + run.errors;
	for (std::string line : {"view", "disk"}) {
		size_t at = run.output.find(line + "\t");
		size_t start = at + line.size() + 1;
		std::string names = at == std::string::npos
				? std::string()
				: run.output.substr(start, run.output.find('\n', at) - start);
		std::replace(names.begin(), names.end(), '\t', ' ');
		(line == "view" ? view.shown : view.disk) = names;
	}
	return view;
}


// The finding that the conversion's steps must answer: the kernel reports
// an exchange of two names as two renames, "first to second" and then
// "second to first", and GIO passes both on as they come. Applied in order,
// the first rename replaces the second name and the second rename takes it
// away: the second name of the exchange is lost, under every kind of
// monitor. A rename over a name is shown right; so are the steps that
// end with the lost name taken again by a plain rename or a new link.
TEST(FolderView, NameOperationsAsGioReportsThem)
{
	const struct {
		const char* label;
		std::vector<std::string> before;
		std::vector<std::string> steps;
		std::string shown; // the view the events leave
	} cases[] = {
			{"a rename over a name", {"a.txt"},
					{"create:new", "link:a.txt:a.txt-BAK", "rename:new:a.txt"},
					"a.txt a.txt-BAK"},
			{"an exchange loses its second name", {"a.txt"},
					{"create:a.txt-BAK", "exchange:a.txt-BAK:a.txt"},
					"a.txt-BAK"},
			{"the other way round, the other name", {"a.txt"},
					{"create:a.txt-BAK", "exchange:a.txt:a.txt-BAK"}, "a.txt"},
			{"convert: the backup a second name of the source, the new text "
			 "traded with the source under a name of its own, which goes",
					{"a.txt"},
					{"link:a.txt:a.txt-BAK", "create:new", "exchange:a.txt:new",
							"unlink:new"},
					"a.txt a.txt-BAK"},
			{"undo: the converted file's name first, then the backup goes",
					{"a.txt", "a.txt-BAK"},
					{"exchange:a.txt:a.txt-BAK", "unlink:a.txt-BAK"}, "a.txt"},
	};
	for (const auto& c : cases) {
		for (const char* moves : kMoves) {
			SCOPED_TRACE(std::string(c.label) + ", moves: " + moves);
			Folder folder;
			for (const std::string& name : c.before)
				write_file(folder / name, kDosLetter);
			View view = watch(folder, moves, c.steps, RLIM_INFINITY);
			if (view.status == kSkipped)
				GTEST_SKIP() << view.log;
			ASSERT_EQ(view.status, 0) << view.log;
			EXPECT_EQ(view.shown, c.shown) << view.log;
		}
	}
}


// After a conversion, an undo, a second conversion and a failure, the
// events show the folder as the disk has it: the converted file and its
// backup both. A file that takes its name in UTF-8 with its conversion, or
// its old name back with its undo, is one rename to a monitor that watches
// moves (GNOME Files), which keeps it selected under its new name.
TEST(FolderView, StaysTrueThroughABatch)
{
	const std::string big = kDosLetter + std::string(8192, 'x');
	const std::string dos = "Br\x81"
							"cke.txt";
	const struct {
		const char* label;
		std::string name;
		bool convertedBefore;
		std::string content;
		const char* image;
		rlim_t fileSizeLimit;
		std::string renamed; // the rename a watch of moves reports last
	} cases[] = {
			{"convert", "a.txt", false, kDosLetter, "Textwend", RLIM_INFINITY,
					""},
			{"undo", "a.txt", true, kDosLetter, "Textwend-Undo", RLIM_INFINITY,
					""},
			{"a second convert, to -BAK2", "a.txt", true, kDosLetter,
					"Textwend", RLIM_INFINITY, ""},
			{"a failure", "a.txt", false, big, "Textwend", 4096, ""},
			{"convert, the name in UTF-8", dos, false, kDosLetter, "Textwend",
					RLIM_INFINITY, dos + "\tBrücke.txt"},
			{"undo, the old name back", dos, true, kDosLetter, "Textwend-Undo",
					RLIM_INFINITY, "Brücke.txt\t" + dos},
	};
	for (const auto& c : cases) {
		for (const char* moves : kMoves) {
			SCOPED_TRACE(std::string(c.label) + ", moves: " + moves);
			Folder folder;
			write_file(folder / c.name, c.content);
			std::string selected = c.name;
			if (c.convertedBefore) {
				ASSERT_EQ(test::run_program({kHost, kImages + "/Textwend",
													folder / c.name})
								  .status,
						0);
				selected = c.renamed.empty() ? c.name : "Brücke.txt";
			}
			View view = watch(folder, moves,
					{"--run", kHost, kImages + "/" + c.image, selected},
					c.fileSizeLimit);
			if (view.status == kSkipped)
				GTEST_SKIP() << view.log;
			ASSERT_NE(view.disk, "") << view.log;
			EXPECT_EQ(view.shown, view.disk) << view.log;
			if (!c.renamed.empty() && strcmp(moves, "watch") == 0) {
				EXPECT_NE(view.log.find("event\trenamed\t" + c.renamed + "\n"),
						std::string::npos)
						<< view.log;
			}
		}
	}
}

} // namespace
