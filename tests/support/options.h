// The options are process-wide; a test that changes one puts it back.
#ifndef TESTS_SUPPORT_OPTIONS_H
#define TESTS_SUPPORT_OPTIONS_H

#include <stdint.h>

namespace test {

class OptionScope {
public:
	OptionScope(int32_t& option, int32_t value)
		: fOption(option)
		, fSaved(option)
	{
		fOption = value;
	}
	~OptionScope() { fOption = fSaved; }

private:
	int32_t& fOption;
	int32_t fSaved;
};

} // namespace test

#endif // TESTS_SUPPORT_OPTIONS_H
