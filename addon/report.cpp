/*
 * The words of the person's report.
 */
#include "addon/report.h"

#include "app/text_domain.h"
#include "charmap/options.h"
#include "convert/convert.h"

#include <stdint.h>
#include <stdio.h>


namespace {

std::string
leaf_of(const std::string& path)
{
	size_t slash = path.rfind('/');
	return slash == std::string::npos ? path : path.substr(slash + 1);
}


const char*
set_name(int32_t style)
{
	switch (style) {
	case kStyleBe:
		return _("already UTF-8");
	case kStyleTos:
		return "Atari ST (TOS)";
	case kStylePc:
		return _("DOS code page 437");
	case kStyleMac:
		return "Macintosh";
	case kStyleAnsi:
		return "Windows ANSI";
	case kStyleLatex:
		return _("LaTeX umlaut notation");
	default:
		return NULL;
	}
}


// The name of an 8-bit set inside a sentence or parentheses.
std::string
short_set_name(int32_t style)
{
	if (style == kStyleTos)
		return "Atari ST";
	const char* name = set_name(style);
	return name != NULL ? name : _("no set");
}


// A set, or two that read the same, in the order of the sets: sameness
// says what they share ("%s or %s, the same text in both").
std::string
one_or_two_sets(int32_t style, int32_t sameText, const char* sameness)
{
	if (sameText == 0)
		return set_name(style);
	int32_t first = style < sameText ? style : sameText;
	int32_t second = style < sameText ? sameText : style;
	return filled(sameness, {short_set_name(first), set_name(second)});
}


// The set a name was read in, with the other that reads it the same.
std::string
name_sets(int32_t style, int32_t sameText)
{
	return one_or_two_sets(
			style, sameText, _("%s or %s, the same name in both"));
}


// The set taken, with the other that gives the very same text.
std::string
sets_taken(int32_t style, int32_t sameText)
{
	return one_or_two_sets(
			style, sameText, _("%s or %s, the same text in both"));
}


// The line ends a conversion makes LF, after a comma; empty for none.
std::string
line_ends(const convert_result& result)
{
	if (result.lineEnds == (kLineEndCr | kLineEndLf))
		return ", CR LF → LF";
	if (result.lineEnds == kLineEndCr)
		return ", CR → LF";
	return std::string();
}


// The other set the umlaut codes fit, where there is one the set taken
// does not name already; empty for none.
std::string
umlaut_note(const convert_result& result)
{
	if (set_name(result.umlautStyle) == NULL
			|| result.umlautStyle == result.style
			|| result.umlautStyle == result.sameText)
		return std::string();
	return filled(_(" (its umlaut codes also fit %s)"),
			{short_set_name(result.umlautStyle)});
}


// The set a file's name was read in, where it is not the text's: a text of
// UTF-8 or ASCII says nothing of its name's set. Empty otherwise.
std::string
name_note(const convert_result& result)
{
	if (result.nameStyle == result.style)
		return std::string();
	return filled(_(" (its name read as %s)"),
			{name_sets(result.nameStyle, result.nameSameText)});
}


} // namespace


void
append_alert_names(std::string& text, const std::vector<entry_report>& entries,
		size_t& shown)
{
	for (size_t i = 0; i < entries.size() && shown < kAlertNames;
			i++, shown++) {
		text += '\n';
		text += entries[i].renamed.empty()
				? shown_name(entries[i].name)
				: filled(_("%s (now %s)"),
						{shown_name(entries[i].name),
								shown_name(entries[i].renamed)});
		text += ": ";
		text += entries[i].what;
	}
}


std::string
passed_over_reason(const struct stat& st)
{
	if (S_ISDIR(st.st_mode))
		return _("a folder, passed over");
	if (S_ISLNK(st.st_mode))
		return _("a link, passed over");
	if (!S_ISREG(st.st_mode))
		return _("not a regular file, passed over");
	if (st.st_size == 0)
		return _("an empty file, passed over");
	return _("a set-user-ID or set-group-ID file, passed over");
}


std::string
describe_conversion(const convert_result& result, const std::string& path)
{
	std::string what;
	if (!result.converted) {
		if (result.passedOver)
			return result.reason;
		if (result.reason.empty())
			return _("left as it was");
		// The reason comes in the person's language.
		if (result.reason == _(kNoKnownSet))
			return filled(_("%s; left as it was"), {result.reason});
		return filled(_("left as it was: %s"), {shown_name(result.reason)});
	}

	if (undo_mod != 0) {
		what = filled(_("conversion undone; the original is back from %s"),
				{shown_name(leaf_of(result.backup))});
		if (result.renamed)
			what += filled(_(", under its name %s again"),
					{shown_name(leaf_of(result.output))});
		return what;
	}

	const char* set = set_name(result.style);
	// A build that loads no table converts the line ends alone, whatever
	// set was found.
	if (set == NULL || static_cast<uint32_t>(pop_ind) >= kPopIndNoTable)
		what = _("no known character set found, line ends only");
	else if (result.strayBytes > 0) {
		unsigned long long strays = result.strayBytes;
		what = filled(P_("UTF-8 with %d byte of %s",
							  "UTF-8 with %d bytes of %s", strays),
				{std::to_string(strays), short_set_name(result.straySet)});
	} else if (result.style == kStyleBe && set_name(fix_set) != NULL)
		what = filled(_("%s, not read as %s"), {set, set_name(fix_set)});
	else {
		what = sets_taken(result.style, result.sameText) + umlaut_note(result)
				+ line_ends(result);
	}
	if (result.strayBytes > 0 && set != NULL)
		what += line_ends(result);
	if (result.renamed && r_modus != kRModusBeside) {
		what += filled(
				_("; now named %s"), {shown_name(leaf_of(result.output))});
		what += name_note(result);
	} else if (!result.output.empty() && result.output != path) {
		what += filled(
				_("; written as %s"), {shown_name(leaf_of(result.output))});
	}
	if (!result.nameKept.empty())
		what += filled(
				_("; its name stays: %s"), {shown_name(result.nameKept)});
	if (!result.backup.empty()) {
		what += filled(_("; original kept as %s"),
				{shown_name(leaf_of(result.backup))});
	}
	if (result.doubtful)
		what += _("; doubtful: check it, and undo if it reads wrong");
	return what;
}


std::string
describe_doubt(const convert_result& result)
{
	// For a text of UTF-8, the set of its bytes outside it.
	std::string taken = result.strayBytes > 0 ? short_set_name(result.straySet)
			: result.sameText != 0 ? sets_taken(result.style, result.sameText)
								   : short_set_name(result.style);
	return filled(_("taken for %s, next best %s"),
			{taken, short_set_name(result.nextBest)});
}


std::string
report_line(const entry_report& report)
{
	return "Textwend: " + shown_name(report.name) + ": " + report.what;
}


std::string
batch_alert_text(const std::vector<entry_report>& notConverted,
		const std::vector<entry_report>& doubtful, int total,
		const std::vector<entry_report>& namesKept)
{
	if (notConverted.empty() && doubtful.empty() && namesKept.empty())
		return std::string();
	// "N of TOTAL entries", then what became of them: the noun agrees with
	// TOTAL, the verb with N.
	auto count = [total](size_t entries) {
		return filled(P_("%d of %d entry", "%d of %d entries", total),
				{std::to_string(entries), std::to_string(total)});
	};
	std::string text = "Textwend-AddOn";
	size_t shown = 0;
	if (!notConverted.empty()) {
		size_t n = notConverted.size();
		text += "\n\t" + count(n)
				+ (undo_mod != 0
								? P_(" was not undone:", " were not undone:", n)
								: P_(" was not converted:",
										" were not converted:", n))
				+ "\n";
		append_alert_names(text, notConverted, shown);
	}
	if (!doubtful.empty()) {
		size_t n = doubtful.size();
		text += notConverted.empty() ? "\n\t" : "\n\n\t";
		text += count(n)
				+ P_(" was converted with doubt; check it, and undo it if it "
					 "reads wrong:",
						" were converted with doubt; check them, and undo "
						"what reads wrong:",
						n)
				+ "\n";
		append_alert_names(text, doubtful, shown);
	}
	if (!namesKept.empty()) {
		size_t n = namesKept.size();
		text += notConverted.empty() && doubtful.empty() ? "\n\t" : "\n\n\t";
		text += count(n)
				+ P_(" kept its name, which is no UTF-8:",
						" kept their names, which are no UTF-8:", n)
				+ "\n";
		append_alert_names(text, namesKept, shown);
	}
	size_t all = notConverted.size() + doubtful.size() + namesKept.size();
	if (all > kAlertNames) {
		size_t more = all - kAlertNames;
		text += "\n";
		text += filled(
				P_("and %d more", "and %d more", more), {std::to_string(more)});
	}
	return text;
}


std::string
describe_check(const convert_result& result)
{
	// Beside these two, a conversion passes over what is no text.
	if (result.passedOver) {
		if (result.alreadyRight || result.convertedBefore)
			return result.reason;
		return _("passed over: not text");
	}
	if (!result.wouldConvert) {
		if (result.reason == _(kNoKnownSet))
			return filled(_("%s; would be left as it is"), {result.reason});
		return filled(
				_("would be left as it is: %s"), {shown_name(result.reason)});
	}

	std::string ends = line_ends(result);
	std::string what;
	if (result.strayBytes > 0) {
		unsigned long long strays = result.strayBytes;
		what = filled(P_("would convert UTF-8 with %d byte of %s",
							  "would convert UTF-8 with %d bytes of %s",
							  strays),
					   {std::to_string(strays),
							   short_set_name(result.straySet)})
				+ ends;
	} else if (result.style == kStyleBe || result.style == kStyleNone
			|| static_cast<uint32_t>(pop_ind) >= kPopIndNoTable) {
		// Nothing but the line ends, or a NUL, changes.
		what = result.style == kStyleBe ? _("already UTF-8; ")
										: _("no known character set found; ");
		what += ends.empty() ? _("would write it anew")
							 : filled(_("would convert %s"), {ends.substr(2)});
	} else {
		what = filled(_("would convert from %s"),
					   {sets_taken(result.style, result.sameText)})
				+ umlaut_note(result) + ends;
	}
	if (result.doubtful) {
		what += filled(_("; doubtful, next best %s"),
				{short_set_name(result.nextBest)});
	}
	if (result.renamed) {
		what += filled(
				_("; would be named %s"), {shown_name(leaf_of(result.output))});
		what += name_note(result);
	} else if (!result.nameKept.empty()) {
		what += filled(
				_("; its name would stay: %s"), {shown_name(result.nameKept)});
	}
	return what;
}


std::string
text_set(int32_t style)
{
	if (style == kStyleBe)
		return "UTF-8";
	if (style == kStyleNone)
		return "ASCII";
	return short_set_name(style);
}


std::string
describe_folder_rename(const folder_rename& rename, folder_step step)
{
	if (!rename.reason.empty())
		return filled(_("its name stays: %s"), {shown_name(rename.reason)});
	if (rename.name.empty() || (step != kFolderPlanned && !rename.done))
		return std::string();
	std::string name = shown_name(rename.name);
	if (step == kFolderRenamedBack)
		return filled(_("renamed back to %s"), {name});
	std::string sets = name_sets(rename.style, rename.sameText);
	return step == kFolderPlanned
			? filled(_("would be renamed to %s (%s)"), {name, sets})
			: filled(_("renamed to %s (%s)"), {name, sets});
}
