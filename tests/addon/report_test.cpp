// The words of the person's report: names shown safely, and the alert that
// lists what a batch did not convert.
#include "addon/notification.h"
#include "addon/report.h"
#include "addon/tree_summary.h"
#include "charmap/options.h"
#include "charmap/styles.h"
#include "support/options.h"

#include <gtest/gtest.h>

namespace {

TEST(Report, NamesAreShownEscapedNeverRaw)
{
	const struct {
		std::string name;
		std::string shown;
	} cases[] = {
			{"Grüße aus Köln.txt", "Grüße aus Köln.txt"},
			{"tab\there", "tab\\x09here"},
			{"line\nbreak\r", "line\\x0Abreak\\x0D"},
			{"escape\x1B[31mred", "escape\\x1B[31mred"},
			{"back\\slash", "back\\\\slash"},
			{"latin1 K\xE4se", "latin1 K\\xE4se"},
			{"cut \xC3", "cut \\xC3"},
			{"C1 \xC2\x85 and DEL \x7F", "C1 \\xC2\\x85 and DEL \\x7F"},
			{"overlong \xC0\xAF", "overlong \\xC0\\xAF"},
			{"surrogate \xED\xA0\x80", "surrogate \\xED\\xA0\\x80"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(shown_name(c.name), c.shown) << c.name;
}

TEST(Report, TheAlertNamesAtMostTenEntries)
{
	auto failures = [](int count) {
		std::vector<entry_report> reports;
		for (int i = 1; i <= count; i++) {
			reports.push_back({"file" + std::to_string(i), kEntryLeftAlone,
					"left as it was: it cannot be read"});
		}
		return reports;
	};
	std::string tenLines;
	for (int i = 1; i <= 10; i++)
		tenLines += "\nfile" + std::to_string(i)
				+ ": left as it was: it cannot be read";
	const struct {
		int failures;
		int total;
		std::string text;
	} cases[] = {
			{0, 5, ""},
			{1, 1,
					"Textwend-AddOn\n\t1 of 1 entry was not converted:\n\n"
					"file1: left as it was: it cannot be read"},
			{12, 20,
					"Textwend-AddOn\n\t12 of 20 entries were not converted:\n"
							+ tenLines + "\nand 2 more"},
	};
	for (const auto& c : cases) {
		EXPECT_EQ(batch_alert_text(failures(c.failures), {}, c.total), c.text)
				<< c.failures;
	}
}

TEST(Report, TheAlertListsDoubtAfterWhatWasNotConverted)
{
	std::vector<entry_report> notConverted
			= {{"a.txt", kEntryLeftAlone, "left as it was: it cannot be read"}};
	std::vector<entry_report> doubtful;
	for (const char* name : {"b.txt", "c.txt"})
		doubtful.push_back({name, kEntryConverted,
				"taken for Macintosh, next best Windows ANSI"});
	EXPECT_EQ(batch_alert_text(notConverted, doubtful, 3),
			"Textwend-AddOn\n\t1 of 3 entries was not converted:\n\n"
			"a.txt: left as it was: it cannot be read\n\n"
			"\t2 of 3 entries were converted with doubt; check them, and undo "
			"what reads wrong:\n\n"
			"b.txt: taken for Macintosh, next best Windows ANSI\n"
			"c.txt: taken for Macintosh, next best Windows ANSI");
}

// A name from an old machine: the line shows the old name escaped, as the
// entry's, and the new one, or why the name stays; the alert names a
// renamed file by both names, and those that kept their names; a folder
// says what became of its name.
TEST(Report, NamesFromOldMachinesAreShownOldAndNew)
{
	convert_result r;
	r.converted = true;
	r.style = kStyleBe;
	r.output = "/f/Brücke.txt";
	r.backup = "/f/Br\201cke.txt-BAK";
	r.renamed = true;
	r.nameStyle = kStyleTos;
	r.nameSameText = kStylePc;
	EXPECT_EQ(describe_conversion(r, "/f/Br\201cke.txt"),
			"already UTF-8; now named Brücke.txt (its name read as Atari ST "
			"or DOS code page 437, the same name in both); original kept as "
			"Br\\x81cke.txt-BAK");
	r.renamed = false;
	r.output = "/f/Br\201cke.txt";
	r.nameKept = "Brücke.txt is taken already";
	EXPECT_EQ(describe_conversion(r, r.output),
			"already UTF-8; its name stays: Brücke.txt is taken already; "
			"original kept as Br\\x81cke.txt-BAK");
	r.renamed = true;
	r.nameKept.clear();
	test::OptionScope undo(undo_mod, 1);
	EXPECT_EQ(describe_conversion(r, "/f/Brücke.txt"),
			"conversion undone; the original is back from "
			"Br\\x81cke.txt-BAK, under its name Br\\x81cke.txt again");

	std::vector<entry_report> doubtful = {{"Br\201cke.txt", kEntryConverted,
			"taken for Atari ST, next best Macintosh", "Brücke.txt"}};
	std::vector<entry_report> kept = {
			{"x\377.txt", kEntryConverted, "no known character set reads it"}};
	EXPECT_EQ(batch_alert_text({}, doubtful, 2, kept),
			"Textwend-AddOn\n\t1 of 2 entries was converted with doubt; check "
			"it, and undo it if it reads wrong:\n\n"
			"Br\\x81cke.txt (now Brücke.txt): taken for Atari ST, next best "
			"Macintosh\n\n"
			"\t1 of 2 entries kept its name, which is no UTF-8:\n\n"
			"x\\xFF.txt: no known character set reads it");

	folder_rename folder;
	folder.name = "Brücke\007";
	folder.style = kStylePc;
	folder.done = true;
	EXPECT_EQ(describe_folder_rename(folder, kFolderRenamed),
			"renamed to Brücke\\x07 (DOS code page 437)");
	EXPECT_EQ(describe_folder_rename(folder, kFolderRenamedBack),
			"renamed back to Brücke\\x07");
	folder.done = false;
	EXPECT_EQ(describe_folder_rename(folder, kFolderPlanned),
			"would be renamed to Brücke\\x07 (DOS code page 437)");
	EXPECT_EQ(describe_folder_rename(folder_rename(), kFolderRenamed), "");
}

// The notification counts each file by what became of it, and names the
// names made beside the files: the backups, or the new texts of a build
// that writes beside them.
TEST(Notification, CountsWhatEachConversionDid)
{
	auto result = [](int32_t style, const std::string& made) {
		convert_result r;
		r.converted = true;
		r.style = style;
		(made.rfind("-N", 0) == 0 ? r.output : r.backup) = "/f/a.txt" + made;
		return r;
	};
	const struct {
		const char* what;
		int32_t rModus;
		int32_t popInd;
		std::vector<convert_result> results;
		std::string text;
	} cases[] = {
			{"already UTF-8 beside converted", 0, 0,
					{result(kStylePc, "-BAK"), result(kStyleBe, "-BAK2"),
							result(kStyleNone, "-BAK")},
					"1 file converted to UTF-8, the original kept as -BAK\n"
					"2 files already UTF-8, the originals kept as -BAK2/-BAK"},
			{"many backups", 0, 0,
					{result(kStyleTos, "-BAK"), result(kStyleTos, "-BAK2"),
							result(kStyleTos, "-BAK3"),
							result(kStyleTos, "-BAK4"),
							result(kStyleTos, "-BAK2")},
					"5 files converted to UTF-8, the originals kept as "
					"-BAK/-BAK2/-BAK3/…"},
			{"written beside", 1, 0,
					{result(kStyleAnsi, "-N"), result(kStyleAnsi, "-N2")},
					"2 files converted to UTF-8, written beside them as "
					"-N/-N2"},
			{"line ends only", 0, 50, {result(kStyleAnsi, "-BAK")},
					"1 file with its line ends made LF, the original kept as "
					"-BAK"},
	};
	for (const auto& c : cases) {
		test::OptionScope place(r_modus, c.rModus);
		test::OptionScope table(pop_ind, c.popInd);
		batch_counts counts;
		for (const convert_result& r : c.results)
			count_conversion(counts, r, "/f/a.txt");
		EXPECT_EQ(notification_text(counts), c.text) << c.what;
	}
}

// The summary of a run over trees: the sets by how many came from each,
// the doubtful named first with the set taken and the next best, then
// those left with their reason, ten names at most; a stopped run says how
// far it got. The notification says the same in one line.
TEST(Report, TheSummaryOfATreeCountsBySetAndNamesTenAtMost)
{
	auto converted = [](int32_t style, int32_t same, bool doubtful) {
		convert_result r;
		r.converted = r.wouldConvert = true;
		r.style = style;
		r.sameText = same;
		r.doubtful = doubtful;
		r.nextBest = kStyleMac;
		return r;
	};
	auto left = [](const char* reason) {
		convert_result r;
		r.reason = reason;
		return r;
	};
	auto tallied = [&](tree_job job) {
		tree_tally tally;
		tally.job = job;
		for (int i = 0; i < 300; i++)
			tally_file(tally, converted(kStylePc, kStyleTos, false), "a");
		for (int i = 0; i < 1200; i++)
			tally_file(tally, converted(kStyleAnsi, 0, i < 2),
					"w" + std::to_string(i));
		tally_file(tally, converted(kStyleBe, 0, false), "u");
		for (int i = 0; i < 9; i++)
			tally_file(
					tally, left("it cannot be read"), "l" + std::to_string(i));
		convert_result right;
		right.alreadyRight = right.passedOver = true;
		tally_file(tally, right, "r");
		tally.passed[kPassedBackup] = 40;
		tally.done = 1513;
		tally.total = 5000;
		tally.stopped = true;
		return tally;
	};
	std::string names = "\nw0: taken for Windows ANSI, next best Macintosh"
						"\nw1: taken for Windows ANSI, next best Macintosh"
						"\n\n\t9 left as they were:\n";
	for (int i = 0; i < 8; i++)
		names += "\nl" + std::to_string(i) + ": it cannot be read";
	const struct {
		tree_job job;
		std::string alert;
		std::string notification;
	} cases[] = {
			{kTreeConvert,
					"Textwend-AddOn\n\t1,501 files converted: 1,200 Windows "
					"ANSI, 300 Atari ST or DOS code page 437, 1 UTF-8\n\t1 "
					"already right\n\tPassed over: 40 backups\n\tStopped "
					"after 1,513 of 5,000 files.\n\n\t2 converted with doubt; "
					"check them, and undo what reads wrong:\n"
							+ names + "\nand 1 more",
					"1,501 files converted (1,200 Windows ANSI, 300 Atari ST "
					"or DOS code page 437, 1 UTF-8), 2 with doubt, 1 already "
					"right, 40 passed over, 9 left as they were; stopped after "
					"1,513 of 5,000 files"},
			{kTreeCheck,
					"Textwend-AddOn\n\t1,501 files would be converted: 1,200 "
					"Windows ANSI, 300 Atari ST or DOS code page 437, 1 "
					"UTF-8\n\t1 already right\n\tPassed over: 40 "
					"backups\n\tStopped after 1,513 of 5,000 files.\n\n\t2 "
					"would be converted with doubt:\n"
							+ names.substr(0, names.find("\n\n\t9"))
							+ "\n\n\t9 would be left as they are:\n"
							+ names.substr(names.find(":\n") + 2)
							+ "\nand 1 more",
					"1,501 files would be converted (1,200 Windows ANSI, 300 "
					"Atari ST or DOS code page 437, 1 UTF-8), 2 with doubt, 1 "
					"already right, 40 passed over, 9 would be left as they "
					"are; stopped after 1,513 of 5,000 files"},
			{kTreeUndo,
					"Textwend-AddOn\n\t1,501 conversions undone\n\t1 already "
					"right\n\tPassed over: 40 backups\n\tStopped after 1,513 "
					"of 5,000 files.\n\n\t9 left as they were:\n"
							+ names.substr(names.find(":\n") + 2)
							+ "\nl8: it cannot be read",
					"1,501 conversions undone, 1 already right, 40 passed "
					"over, 9 left as they were; stopped after 1,513 of 5,000 "
					"files"},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.job);
		tree_tally tally = tallied(c.job);
		EXPECT_EQ(tree_alert_text(tally), c.alert);
		EXPECT_EQ(tree_notification_text(tally), c.notification);
	}
}

} // namespace
