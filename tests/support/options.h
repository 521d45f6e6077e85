// The options are process-wide; a test that changes one puts it back.
#ifndef TESTS_SUPPORT_OPTIONS_H
#define TESTS_SUPPORT_OPTIONS_H

#include <stdint.h>

#include <type_traits>

namespace test {

template<typename T> class OptionScope {
public:
	OptionScope(T& option, std::type_identity_t<T> value)
		: fOption(option)
		, fSaved(option)
	{
		fOption = value;
	}
	~OptionScope() { fOption = fSaved; }

private:
	T& fOption;
	T fSaved;
};

} // namespace test

#endif // TESTS_SUPPORT_OPTIONS_H
