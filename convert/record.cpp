/*
 * Names in standard output's record. The record is the system's own, byte
 * for byte, wherever it goes; only a terminal sees a name escaped, as a
 * name may hold control sequences that retitle or clear it.
 */
#include "convert/convert.h"

#include "convert/batch.h"
#include "convert/result.h"


std::string
recorded_name(const std::string& name)
{
	return output_is_terminal() ? shown_name(name) : name;
}
