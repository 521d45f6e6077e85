#include "convert/result.h"

convert_result last_result;

const char kNoKnownSet[] = "no known character set found";


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
