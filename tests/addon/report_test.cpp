// The words of the person's report: names shown safely, and the alert that
// lists what a batch did not convert.
#include "addon/report.h"

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

} // namespace
