// Walks the tree below each folder named on the command line as a run of a
// tree would: the pass that counts, then the pass that visits, each file
// noted in the status window of a tree (on standard error without a
// display). Prints the time of each, in one line per pass, and the peak
// memory.
#include "addon/statWindow.h"
#include "walk/tree.h"

#include <stdio.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>


namespace {

double
seconds()
{
	struct timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	return now.tv_sec + now.tv_nsec / 1e9;
}


double
median(std::vector<double> values)
{
	std::sort(values.begin(), values.end());
	return values[values.size() / 2];
}

} // namespace


int
main(int argc, char** argv)
{
	const int kRuns = 5;
	for (int i = 1; i < argc; i++) {
		std::vector<double> counting;
		std::vector<double> visiting;
		std::vector<double> shown;
		walk_counts counted;
		for (int run = 0; run < kRuns; run++) {
			double start = seconds();
			counted = walk_counts();
			count_tree(argv[i], counted, nullptr);
			counting.push_back(seconds() - start);

			start = seconds();
			walk_counts counts;
			uint64_t bytes = 0;
			walk_hooks hooks;
			hooks.file = [&](const walk_entry& file) {
				bytes += file.status->st_size;
				return kWalkOn;
			};
			walk_tree(argv[i], hooks, counts);
			visiting.push_back(seconds() - start);

			// The same with every file noted in the status window.
			statWindow status;
			status.OpenForTree();
			start = seconds();
			uint64_t done = 0;
			hooks.file = [&](const walk_entry& file) {
				status.ShowProgress(
						++done, counted.files, file.path + file.relative);
				return status.StopRequested() ? kWalkStop : kWalkOn;
			};
			walk_tree(argv[i], hooks, counts);
			shown.push_back(seconds() - start);
			status.Close();
		}
		struct rusage usage;
		getrusage(RUSAGE_SELF, &usage);
		printf("%s: %llu files in %llu folders\n", argv[i],
				(unsigned long long)counted.files,
				(unsigned long long)counted.folders);
		printf("  count pass          %8.1f ms\n", median(counting) * 1000);
		printf("  visit pass          %8.1f ms\n", median(visiting) * 1000);
		printf("  visit, each shown   %8.1f ms\n", median(shown) * 1000);
		printf("  peak memory         %8.1f MiB\n", usage.ru_maxrss / 1024.0);
	}
	return 0;
}
