#include "convert/names.h"

#include "app/text_domain.h"
#include "charmap/mt.h"
#include "charmap/options.h"
#include "charmap/styles.h"
#include "convert/chosen_set.h"
#include "convert/contexts.h"
#include "convert/detect.h"
#include "convert/second_opinion.h"
#include "convert/utf8.h"

#include <limits.h>

#include <array>


namespace {

const int32_t kNameSets[] = {kStyleTos, kStylePc, kStyleMac, kStyleAnsi};

// What each byte of a name becomes in one set: its character in UTF-8, the
// byte itself below 0x80 where the set's table names none, and nothing
// where the set has no character for it.
typedef std::array<std::string, 256> name_table;


name_table
make_table(int32_t style)
{
	mt map[kMapSize];
	for (int k = 0; k < 256; k++)
		map[k].ud(k < 0x80 ? k : 0);
	load_set(map, style);
	name_table table;
	for (int k = 1; k < 256; k++) {
		std::string text = map[k].str;
		// The control characters that Windows ANSI gives its unassigned
		// bytes are no characters of a name; nor is a '/'.
		bool c1 = text.size() == 2 && (uint8_t)text[0] == 0xC2
				&& (uint8_t)text[1] < 0xA0;
		if (!c1 && text.find('/') == std::string::npos)
			table[k] = text;
	}
	return table;
}


const name_table&
table_of(int32_t style)
{
	static const name_table sTables[]
			= {make_table(kStyleTos), make_table(kStylePc),
					make_table(kStyleMac), make_table(kStyleAnsi)};
	return sTables[style - kStyleTos];
}


} // namespace


bool
name_is_utf8(const std::string& name)
{
	for (size_t at = 0; at < name.size();) {
		size_t length = utf8_length_at(name, at);
		if (length == 0)
			return false;
		at += length;
	}
	return true;
}


std::string
name_in_set(const std::string& name, int32_t style)
{
	if (style < kStyleTos || style > kStyleAnsi)
		return std::string();
	const name_table& table = table_of(style);
	std::string read;
	for (char byte : name) {
		const std::string& character = table[(uint8_t)byte];
		if (character.empty())
			return std::string();
		read += character;
	}
	return read;
}


std::vector<std::string>
readings_of(const std::string& name)
{
	std::vector<std::string> readings;
	if (name_is_utf8(name))
		return readings;
	for (int32_t style : kNameSets) {
		std::string read = name_in_set(name, style);
		bool known = read.empty();
		for (const std::string& other : readings)
			known = known || other == read;
		if (!known)
			readings.push_back(read);
	}
	return readings;
}


bool
reads_as(const std::string& original, const std::string& name)
{
	if (name == original)
		return true;
	for (const std::string& read : readings_of(original)) {
		if (read == name)
			return true;
	}
	return false;
}


bool
reads_well(const std::string& name, int32_t style)
{
	const uint8_t* data = (const uint8_t*)name.c_str();
	text_contexts contexts = gather_contexts(data, name.size());
	return read_as(data, name.size(), contexts, style).Plausible();
}


name_plan
plan_name(const std::string& name, int32_t style)
{
	name_plan plan;
	if (name_is_utf8(name))
		return plan;
	if (style == 0) {
		// Short as it is, a name tells its set by its umlaut codes and by
		// how its letters read as words.
		const uint8_t* data = (const uint8_t*)name.c_str();
		text_findings findings = scan_text(data, name.size(), false);
		set_opinion opinion = second_opinion(data, name.size(), findings);
		if (opinion.style == 0 || !reads_well(name, opinion.style)) {
			plan.reason = _("no known character set reads it");
			return plan;
		}
		if (opinion.doubtful
				&& name_in_set(name, opinion.nextBest)
						!= name_in_set(name, opinion.style)) {
			plan.reason = _("it reads as well in two character sets that "
							"give it different letters");
			return plan;
		}
		style = opinion.style;
		plan.sameText = opinion.sameText;
	}
	plan.style = style;
	std::string read = name_in_set(name, style);
	if (read.empty())
		plan.reason = _("it holds a byte that its character set has no "
						"character for");
	else if (read.size() > NAME_MAX)
		plan.reason = filled(
				_("it would take %d bytes in UTF-8, more than the %d "
				  "a name may have"),
				{std::to_string(read.size()), std::to_string(NAME_MAX)});
	else
		plan.name = read;
	return plan;
}


name_plan
plan_file_name(const std::string& name, int32_t textStyle)
{
	if ((uint32_t)pop_ind >= kPopIndNoTable)
		return name_plan();
	int32_t style = textStyle >= kStyleTos && textStyle <= kStyleAnsi
			? textStyle
			: set_is_chosen() ? fix_set
							  : kStyleNone;
	return plan_name(name, style);
}
