#include "convert/result.h"

#include "app/text_domain.h"
#include "convert/utf8.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

convert_result last_result;

const char kNoKnownSet[] = N_("no known character set found");


void
result_start()
{
	last_result = convert_result();
}


void
result_left_alone(const std::string& reason)
{
	last_result.converted = false;
	if (last_result.reason.empty())
		last_result.reason = reason;
}


void
result_passed_over(const std::string& reason)
{
	result_left_alone(reason);
	last_result.passedOver = true;
}


std::string
folder_reason(const char* what, int error)
{
	if (error == EACCES || error == EPERM || error == EROFS)
		return filled(_("the folder cannot be written: %s"), {strerror(error)});
	return filled(what, {strerror(error)});
}


std::string
notice(const std::string& file, const std::string& what)
{
	return "Textwend: '" + file + "': " + what + "\n";
}


std::string
shown_name(const std::string& name)
{
	std::string text;
	for (size_t i = 0; i < name.size();) {
		size_t length = printable_at(name, i);
		if (name[i] == '\\') {
			text += "\\\\";
			i++;
		} else if (length == 0) {
			char escape[8];
			snprintf(escape, sizeof(escape), "\\x%02X", (unsigned char)name[i]);
			text += escape;
			i++;
		} else {
			text.append(name, i, length);
			i += length;
		}
	}
	return text;
}
