// A large text on several threads: a file cut short meanwhile stops every
// thread.
#include "convert/threads.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>

#include <string>

namespace {

using test::Folder;
using test::write_file;

const int kThreads = 3;

// Touches every page of a region that is gone.
void
touch_pages(void* cookie)
{
	const volatile char* data = (const volatile char*)cookie;
	for (size_t at = 0; at < 3 * 4096; at += 4096)
		(void)data[at];
}

void
no_stop(void*)
{
}

TEST(Pieces, EveryThreadIsGuardedAndTheHandlerComesBack)
{
	Folder folder;
	std::string path = folder / "cut";
	write_file(path, std::string(3 * 4096, 'a'));
	int fd = open(path.c_str(), O_RDONLY);
	void* region = mmap(NULL, 3 * 4096, PROT_READ, MAP_PRIVATE, fd, 0);
	close(fd);
	ASSERT_NE(region, MAP_FAILED);
	truncate(path.c_str(), 0);
	struct sigaction before;
	sigaction(SIGBUS, NULL, &before);

	for (int threads : {1, kThreads}) {
		EXPECT_FALSE(run_on_threads(
				threads, region, 3 * 4096, touch_pages, no_stop, region))
				<< threads;
		struct sigaction after;
		sigaction(SIGBUS, NULL, &after);
		EXPECT_EQ(after.sa_handler, before.sa_handler) << threads;
	}
	munmap(region, 3 * 4096);
}

} // namespace
