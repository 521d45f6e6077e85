#include "addon/tree_summary.h"

#include "app/numbers.h"
#include "app/text_domain.h"
#include "walk/passed.h"

#include <algorithm>
#include <utility>


namespace {

void
keep_name(std::vector<entry_report>& names, entry_report&& entry)
{
	if (names.size() < kAlertNames)
		names.push_back(std::move(entry));
}


// The sets the converted texts came from, the most first: "300 DOS code
// page 437, 100 Atari ST".
std::string
by_set(const tree_tally& tally)
{
	struct set_count {
		uint64_t count;
		int style;
		int same;
	};
	std::vector<set_count> sets;
	for (int style = 0; style <= kStyleLatex; style++) {
		for (int same = 0; same <= kStyleLatex; same++) {
			if (tally.bySet[style][same] > 0)
				sets.push_back({tally.bySet[style][same], style, same});
		}
	}
	std::stable_sort(sets.begin(), sets.end(),
			[](const set_count& a, const set_count& b) {
				return a.count > b.count;
			});
	std::string text;
	for (const set_count& set : sets) {
		std::string name = set.same == 0
				? text_set(set.style)
				: filled(_("%s or %s"),
						{text_set(set.style), text_set(set.same)});
		text += (text.empty() ? "" : ", ") + grouped(set.count) + " " + name;
	}
	return text;
}


// The kinds passed over, each with its count: "12 converted before, 300 not
// text, 3 hidden files or folders".
std::string
passed_over(const tree_tally& tally, uint64_t& all)
{
	std::vector<std::string> kinds;
	all = 0;
	// format, translated for count, with count in it.
	auto add = [&](uint64_t count, const char* format) {
		if (count == 0)
			return;
		all += count;
		kinds.push_back(filled(format, {grouped(count)}));
	};
	add(tally.convertedBefore,
			P_("%s converted before", "%s converted before",
					tally.convertedBefore));
	add(tally.neverConverted,
			P_("%s never converted", "%s never converted",
					tally.neverConverted));
	add(tally.notText, P_("%s not text", "%s not text", tally.notText));
	add(tally.setId,
			P_("%s set-user-ID or set-group-ID file",
					"%s set-user-ID or set-group-ID files", tally.setId));
	for (int kind = 0; kind < kPassedKinds; kind++) {
		uint64_t count = tally.passed[kind];
		if (count == 0 || kind == kPassedUnreadable)
			continue;
		all += count;
		kinds.push_back(passed_counted((walk_passed)kind, count));
	}
	std::string text;
	for (const std::string& kind : kinds)
		text += (text.empty() ? "" : ", ") + kind;
	return text;
}


std::string
converted_count(const tree_tally& tally)
{
	std::string count = grouped(tally.converted);
	switch (tally.job) {
	case kTreeUndo:
		return tally.converted == 0
				? _("No conversion undone")
				: filled(P_("%s conversion undone", "%s conversions undone",
								 tally.converted),
						{count});
	case kTreeCheck:
		return tally.converted == 0
				? _("No file would be converted")
				: filled(
						P_("%s file would be converted",
								"%s files would be converted", tally.converted),
						{count});
	case kTreeConvert:
		break;
	}
	return tally.converted == 0
			? _("No file converted")
			: filled(P_("%s file converted", "%s files converted",
							 tally.converted),
					{count});
}


std::string
left_count(const tree_tally& tally)
{
	std::string count = grouped(tally.leftAlone);
	if (tally.job == kTreeCheck)
		return filled(P_("%s would be left as it is",
							  "%s would be left as "
							  "they are",
							  tally.leftAlone),
				{count});
	return filled(
			P_("%s left as it was", "%s left as they were", tally.leftAlone),
			{count});
}


std::string
stopped_after(const tree_tally& tally)
{
	return filled(P_("stopped after %s of %s file",
						  "stopped after %s of %s "
						  "files",
						  tally.total),
			{grouped(tally.done), grouped(tally.total)});
}

} // namespace


void
tally_file(tree_tally& tally, const convert_result& result,
		const std::string& name)
{
	bool converted
			= tally.job == kTreeCheck ? result.wouldConvert : result.converted;
	if (converted) {
		tally.converted++;
		if (tally.job == kTreeUndo)
			return;
		// Two sets that give the same text count as one, the lower first.
		int style = result.strayBytes > 0 ? kStyleBe : result.style;
		int same = result.strayBytes > 0 ? 0 : result.sameText;
		if (same != 0 && same < style)
			std::swap(style, same);
		if (style >= 0 && style <= kStyleLatex && same >= 0
				&& same <= kStyleLatex)
			tally.bySet[style][same]++;
		if (result.doubtful) {
			tally.doubtful++;
			keep_name(tally.doubtfulNames,
					{name, kEntryConverted, describe_doubt(result)});
		}
	} else if (result.alreadyRight)
		tally.alreadyRight++;
	else if (result.convertedBefore)
		tally.convertedBefore++;
	else if (result.unstamped)
		tally.neverConverted++;
	else if (result.passedOver)
		tally.notText++;
	else
		tally_left(tally, name,
				result.reason.empty() ? _("left as it was") : result.reason);
}


namespace {

// What became of the names of folders that were no UTF-8; empty when
// there were none.
std::string
folder_names(const tree_tally& tally)
{
	std::string text;
	uint64_t renamed = tally.foldersRenamed;
	if (renamed > 0) {
		std::string count = grouped(renamed);
		if (tally.job == kTreeCheck)
			text = filled(
					P_("%s folder would be renamed to UTF-8",
							"%s folders would be renamed to UTF-8", renamed),
					{count});
		else if (tally.job == kTreeUndo)
			text = filled(P_("%s folder renamed back",
								  "%s folders renamed back", renamed),
					{count});
		else
			text = filled(P_("%s folder renamed to UTF-8",
								  "%s folders renamed to UTF-8", renamed),
					{count});
	}
	uint64_t kept = tally.folderNamesKept;
	if (kept > 0) {
		if (!text.empty())
			text += ", ";
		text += filled(P_("%s folder kept its name, which is no UTF-8",
							   "%s folders kept their names, which are no "
							   "UTF-8",
							   kept),
				{grouped(kept)});
	}
	return text;
}

} // namespace


void
tally_left(tree_tally& tally, const std::string& name, const std::string& what)
{
	tally.leftAlone++;
	keep_name(tally.leftNames, {name, kEntryLeftAlone, what});
}


std::string
tree_alert_text(const tree_tally& tally)
{
	std::string text = "Textwend-AddOn\n\t" + converted_count(tally);
	std::string sets = by_set(tally);
	if (!sets.empty())
		text += ": " + sets;
	if (tally.alreadyRight > 0)
		text += "\n\t"
				+ filled(P_("%s already right", "%s already right",
								 tally.alreadyRight),
						{grouped(tally.alreadyRight)});
	std::string folders = folder_names(tally);
	if (!folders.empty())
		text += "\n\t" + folders;
	uint64_t passed = 0;
	std::string kinds = passed_over(tally, passed);
	if (!kinds.empty())
		text += "\n\t" + filled(_("Passed over: %s"), {kinds});
	if (tally.stopped)
		text += "\n\t"
				+ filled(P_("Stopped after %s of %s file.",
								 "Stopped after %s of %s files.", tally.total),
						{grouped(tally.done), grouped(tally.total)});

	size_t shown = 0;
	if (tally.doubtful > 0) {
		std::string count = grouped(tally.doubtful);
		text += "\n\n\t";
		text += tally.job == kTreeCheck
				? filled(P_("%s would be converted with doubt:",
								 "%s would be converted with doubt:",
								 tally.doubtful),
						{count})
				: filled(P_("%s converted with doubt; check it, and undo it "
							"if it reads wrong:",
								 "%s converted with doubt; check them, and "
								 "undo what reads wrong:",
								 tally.doubtful),
						{count});
		text += "\n";
		append_alert_names(text, tally.doubtfulNames, shown);
	}
	if (tally.leftAlone > 0) {
		text += "\n\n\t" + left_count(tally) + ":\n";
		append_alert_names(text, tally.leftNames, shown);
	}
	uint64_t names = tally.doubtful + tally.leftAlone;
	if (names > kAlertNames) {
		uint64_t more = names - shown;
		text += "\n";
		text += filled(P_("and %s more", "and %s more", more), {grouped(more)});
	}
	return text;
}


std::string
tree_notification_text(const tree_tally& tally)
{
	std::string text = converted_count(tally);
	std::string sets = by_set(tally);
	if (!sets.empty())
		text += " (" + sets + ")";
	if (tally.doubtful > 0)
		text += ", "
				+ filled(P_("%s with doubt", "%s with doubt", tally.doubtful),
						{grouped(tally.doubtful)});
	if (tally.alreadyRight > 0)
		text += ", "
				+ filled(P_("%s already right", "%s already right",
								 tally.alreadyRight),
						{grouped(tally.alreadyRight)});
	std::string folders = folder_names(tally);
	if (!folders.empty())
		text += ", " + folders;
	uint64_t passed = 0;
	passed_over(tally, passed);
	if (passed > 0)
		text += ", "
				+ filled(P_("%s passed over", "%s passed over", passed),
						{grouped(passed)});
	if (tally.leftAlone > 0)
		text += ", " + left_count(tally);
	if (tally.stopped)
		text += "; " + stopped_after(tally);
	return text;
}
