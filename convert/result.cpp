#include "convert/result.h"

#include "app/text_domain.h"

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
