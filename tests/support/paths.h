// The loops that touch every byte take the widest path the processor has;
// the tests take each of them in turn.
#ifndef TESTS_SUPPORT_PATHS_H
#define TESTS_SUPPORT_PATHS_H

#include <vector>

namespace test {

// The paths from 0 up to count that this processor has, the byte loop
// first. Path is the enum of a loop's paths, with its own processor_has.
template<typename Path>
std::vector<Path>
processor_paths(int count)
{
	std::vector<Path> paths;
	for (int path = 0; path < count; path++) {
		if (processor_has((Path)path))
			paths.push_back((Path)path);
	}
	return paths;
}

} // namespace test

#endif // TESTS_SUPPORT_PATHS_H
