#include "app/numbers.h"

#include "app/text_domain.h"

#include <string.h>


std::string
grouped(uint64_t number)
{
	// A number of four digits as the language writes it tells what goes
	// between the groups: "1.234" gives ".", "1234" nothing. Anything else
	// is no sample of a number, and English is kept.
	const char* sample = _("1,234");
	size_t length = strlen(sample);
	std::string separator = ",";
	if (length >= 4 && sample[0] == '1'
			&& strcmp(sample + length - 3, "234") == 0)
		separator.assign(sample + 1, length - 4);

	std::string digits = std::to_string(number);
	std::string text;
	for (size_t i = 0; i < digits.size(); i++) {
		if (i > 0 && (digits.size() - i) % 3 == 0)
			text += separator;
		text += digits[i];
	}
	return text;
}
