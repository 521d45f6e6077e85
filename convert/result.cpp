#include "convert/result.h"

#include "app/text_domain.h"

#include <errno.h>
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
