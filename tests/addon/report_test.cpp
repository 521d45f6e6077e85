// The words of the person's report: names shown safely, and the alert that
// lists what a batch did not convert.
#include "addon/notification.h"
#include "addon/report.h"
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
// entry's, and the new one; where the name stays, why; the alert names a
// renamed file by both names, and those that kept their names.
TEST(Report, NamesFromOldMachinesAreShownOldAndNew)
{
	auto renamed = [](int32_t style, int32_t nameStyle) {
		convert_result r;
		r.converted = true;
		r.style = style;
		r.lineEnds = kLineEndCr | kLineEndLf;
		r.output = "/f/Brücke.txt";
		r.backup = "/f/Br\x81"
				   "cke.txt-BAK";
		r.renamed = true;
		r.nameStyle = nameStyle;
		r.nameSameText = nameStyle == kStyleTos ? kStylePc : 0;
		return r;
	};
	convert_result kept = renamed(kStylePc, kStylePc);
	kept.renamed = false;
	kept.output = "/f/Br\x81"
				  "cke.txt";
	kept.nameKept = "Brücke.txt is taken already";
	convert_result undone = kept;
	undone.nameKept.clear();
	undone.renamed = true;
	const struct {
		const char* what;
		int32_t undo;
		convert_result result;
		std::string line;
	} cases[] = {
			{"read in the text's set", 0, renamed(kStylePc, kStylePc),
					"DOS code page 437, CR LF → LF; now named Brücke.txt; "
					"original kept as Br\\x81cke.txt-BAK"},
			{"a text of UTF-8: the name alone", 0, renamed(kStyleBe, kStyleTos),
					"already UTF-8, CR LF → LF; now named Brücke.txt (its name "
					"read as "
					"Atari ST or DOS code page 437, the same name in both); "
					"original kept as Br\\x81cke.txt-BAK"},
			{"kept", 0, kept,
					"DOS code page 437, CR LF → LF; its name stays: Brücke.txt "
					"is taken already; original kept as Br\\x81cke.txt-BAK"},
			{"undone", 1, undone,
					"conversion undone; the original is back from "
					"Br\\x81cke.txt-BAK, under its name Br\\x81cke.txt again"},
	};
	for (const auto& c : cases) {
		test::OptionScope undo(undo_mod, c.undo);
		EXPECT_EQ(describe_conversion(c.result,
						  "/f/Br\x81"
						  "cke.txt"),
				c.line)
				<< c.what;
	}

	std::vector<entry_report> doubtful = {{"Br\x81"
										   "cke.txt",
			kEntryConverted, "taken for Atari ST, next best Macintosh",
			"Brücke.txt"}};
	std::vector<entry_report> namesKept = {
			{"x\xFF.txt", kEntryConverted, "no known character set reads it"}};
	EXPECT_EQ(batch_alert_text({}, doubtful, 2, namesKept),
			"Textwend-AddOn\n\t1 of 2 entries was converted with doubt; check "
			"it, and undo it if it reads wrong:\n\n"
			"Br\\x81cke.txt (now Brücke.txt): taken for Atari ST, next best "
			"Macintosh\n\n"
			"\t1 of 2 entries kept its name, which is no UTF-8:\n\n"
			"x\\xFF.txt: no known character set reads it");
}

TEST(Report, AFolderSaysWhatBecameOfItsName)
{
	folder_rename done;
	done.name = "Brücke\x07";
	done.style = kStylePc;
	done.sameText = kStyleTos;
	done.done = true;
	folder_rename stays;
	stays.reason = "Brücke is taken already";
	const struct {
		folder_rename rename;
		folder_step step;
		std::string said;
	} cases[] = {
			{done, kFolderRenamed,
					"renamed to Brücke\\x07 (Atari ST or DOS code page 437, "
					"the same name in both)"},
			{done, kFolderRenamedBack, "renamed back to Brücke\\x07"},
			{done, kFolderPlanned,
					"would be renamed to Brücke\\x07 (Atari ST or DOS code "
					"page 437, the same name in both)"},
			{stays, kFolderRenamed, "its name stays: Brücke is taken already"},
			{folder_rename(), kFolderRenamed, ""},
	};
	for (const auto& c : cases)
		EXPECT_EQ(describe_folder_rename(c.rename, c.step), c.said);
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

} // namespace
