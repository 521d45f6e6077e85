#include "convert/batch.h"

#include "app/text_domain.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdio_ext.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <map>
#include <vector>


namespace {

// Conversions wait in windows, each ended by one sync, as many as the
// descriptors they hold leave room for what one more conversion and the
// held streams need meanwhile. tracker-run makes room in the kernel's table
// of descriptors for a window this large before it starts a thread.
const size_t kMaxWaiting = 4096;
const size_t kReserve = 16;


// How many descriptors the process has open now.
size_t
open_descriptors()
{
	DIR* listing = opendir("/proc/self/fd");
	if (listing == NULL) {
		// The lowest free one stands for them all.
		int free = dup(STDIN_FILENO);
		if (free >= 0)
			close(free);
		return free >= 0 ? (size_t)free : kReserve;
	}
	size_t open = 0;
	while (struct dirent* entry = readdir(listing)) {
		if (entry->d_name[0] != '.')
			open++;
	}
	closedir(listing);
	// The listing's own.
	return open > 0 ? open - 1 : 0;
}


// How many descriptors the waiting conversions may hold: what the
// process's limit leaves beside those open, those reserved and the
// reserve; 0 where not even that is left.
size_t
descriptor_budget(size_t reserved)
{
	struct rlimit limit;
	if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
		return 0;
	size_t used = open_descriptors() + kReserve + reserved;
	if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= used)
		return 0;
	rlim_t left = limit.rlim_cur == RLIM_INFINITY ? (rlim_t)kMaxWaiting * 4
												  : limit.rlim_cur - used;
	return (size_t)left;
}


// One of the standard streams, held back in memory while conversions wait.
struct held_stream {
	int fd;
	FILE* file;
	int saved = -1;  // the stream itself, while held
	int memory = -1; // what was written meanwhile
	off_t cut = 0;   // where the last piece handed on ended
};

held_stream sOut = {STDOUT_FILENO, stdout};
held_stream sErr = {STDERR_FILENO, stderr};


bool
hold(held_stream& stream)
{
	fflush(stream.file);
	stream.memory = memfd_create("textwend-held", MFD_CLOEXEC);
	if (stream.memory < 0)
		return false;
	stream.saved = dup(stream.fd);
	if (stream.saved >= 0 && dup2(stream.memory, stream.fd) >= 0) {
		stream.cut = 0;
		return true;
	}
	if (stream.saved >= 0)
		close(stream.saved);
	close(stream.memory);
	stream.saved = stream.memory = -1;
	return false;
}


// What the stream received since the last cut: [from, to) of its memory.
struct piece {
	off_t from;
	off_t to;
};

piece
cut(held_stream& stream)
{
	if (__fpending(stream.file) > 0)
		fflush(stream.file);
	// The stream and its memory share one offset: the end of what came.
	off_t end = lseek(stream.memory, 0, SEEK_CUR);
	piece taken = {stream.cut, end < stream.cut ? stream.cut : end};
	stream.cut = taken.to;
	return taken;
}


void
release(held_stream& stream)
{
	fflush(stream.file);
	dup2(stream.saved, stream.fd);
	close(stream.saved);
	stream.saved = -1;
}


// Hands on a piece of what was held back, after what the stream has had:
// through the stream's own buffer, which keeps the order and saves a write
// per piece.
void
hand_on(held_stream& stream, const piece& taken)
{
	char buffer[64 * 1024];
	for (off_t at = taken.from; at < taken.to;) {
		size_t want = (size_t)(taken.to - at) < sizeof(buffer)
				? (size_t)(taken.to - at)
				: sizeof(buffer);
		ssize_t got = pread(stream.memory, buffer, want, at);
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			return;
		if (fwrite(buffer, 1, (size_t)got, stream.file) != (size_t)got)
			return;
		at += got;
	}
}


// In the order the batch made them: a waiting conversion, what the batch
// said after it, or what is to run once it has finished.
struct item {
	std::unique_ptr<waiting_conversion> conversion;
	piece out = {0, 0};
	piece err = {0, 0};
	std::function<void()> then;
	bool ownRecord = false; // then follows its conversion's record
	convert_result record;  // else this one; a conversion's own
};

bool sOpen = false;
size_t sBudget = 0;
size_t sHeld = 0; // descriptors held by the waiting conversions
bool sHolding = false;
bool sJustWaited = false;
size_t sWaiting = 0;
std::vector<item> sQueue;


void
cut_pieces()
{
	item said;
	said.out = cut(sOut);
	said.err = cut(sErr);
	sQueue.push_back(std::move(said));
}


// Syncs the file system of each conversion once: 0, or its error.
std::map<dev_t, int>
sync_each(const std::vector<item>& queue, bool convertedOnly)
{
	std::map<dev_t, int> synced;
	for (const item& next : queue) {
		if (next.conversion == NULL || (convertedOnly && !next.record.converted)
				|| synced.count(next.conversion->Device()) != 0)
			continue;
		synced[next.conversion->Device()]
				= syncfs(next.conversion->Folder()) == 0 ? 0 : errno;
	}
	return synced;
}


// One sync of each file system, then every new text takes its name; one
// more sync puts the folders' changes on the disk, and only then is
// anything told, each item in turn: a power cut after "converted" cannot
// bring the original back under its name.
void
finish_waiting()
{
	if (!sHolding)
		return;
	cut_pieces();
	std::map<dev_t, int> synced = sync_each(sQueue, false);
	for (item& next : sQueue) {
		if (next.conversion == NULL)
			continue;
		next.conversion->Finish(synced[next.conversion->Device()]);
		next.record = last_result;
		next.out = cut(sOut);
		next.err = cut(sErr);
	}
	std::map<dev_t, int> named = sync_each(sQueue, true);
	release(sOut);
	release(sErr);
	sHolding = false;

	for (item& next : sQueue) {
		if (next.conversion != NULL) {
			hand_on(sOut, next.out);
			hand_on(sErr, next.err);
			last_result = next.record;
			int error = last_result.converted ? named[next.conversion->Device()]
											  : 0;
			if (error != 0)
				fputs(notice(last_result.output,
							  filled(_("its new name could not be put on the "
									   "disk: %s"),
									  {strerror(error)}))
								.c_str(),
						stderr);
			next.conversion.reset();
		} else if (next.then) {
			if (!next.ownRecord)
				last_result = next.record;
			next.then();
		} else {
			hand_on(sOut, next.out);
			hand_on(sErr, next.err);
		}
	}
	sQueue.clear();
	close(sOut.memory);
	close(sErr.memory);
	sOut.memory = sErr.memory = -1;
	sWaiting = 0;
	sHeld = 0;
}

} // namespace


void
batch_begin(size_t reserved)
{
	sOpen = true;
	sBudget = descriptor_budget(reserved);
}


bool
batch_wait(std::unique_ptr<waiting_conversion>& conversion)
{
	if (!sOpen)
		return false;
	// Where not even one fits, it finishes at once.
	size_t needs = conversion->Wait();
	if (needs > sBudget)
		return false;
	if (!sHolding) {
		if (!hold(sOut))
			return false;
		if (!hold(sErr)) {
			release(sOut);
			close(sOut.memory);
			sOut.memory = -1;
			return false;
		}
		sHolding = true;
	} else {
		cut_pieces();
	}
	item waiting;
	waiting.conversion = std::move(conversion);
	sHeld += needs;
	sQueue.push_back(std::move(waiting));
	sJustWaited = true;
	// The window ends where the next one would not fit.
	if (++sWaiting >= kMaxWaiting || sHeld + needs > sBudget)
		finish_waiting();
	return true;
}


void
batch_then(const std::function<void()>& then)
{
	bool own = sJustWaited;
	sJustWaited = false;
	if (!sHolding) {
		then();
		return;
	}
	// Right after its conversion nothing was said since that was cut off;
	// a cut costs a look at each held stream.
	if (!own)
		cut_pieces();
	item later;
	later.then = then;
	later.ownRecord = own;
	later.record = last_result;
	sQueue.push_back(std::move(later));
}


void
batch_end()
{
	finish_waiting();
	sOpen = false;
	sJustWaited = false;
}


bool
output_is_terminal()
{
	return isatty(sHolding && sOut.saved >= 0 ? sOut.saved : STDOUT_FILENO);
}
