#include "convert/run_lock.h"

#include "app/text_domain.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <map>

const char kOtherRun[] = N_("it is being converted by another Textwend run");
const char kLockedElsewhere[] = N_("it is locked by another program");


namespace {

// The byte that marks a file: the last one a lock may cover but one, which
// no text reaches.
const off_t kMark = INT64_MAX - 1;

// Two runs that keep meeting on the same file try this often, each waiting
// a little longer every time, before one says that the other has it.
const int kTries = 8;
const long kFirstWaitMicroseconds = 2000;


struct flock
lock_over(short type, off_t start, off_t length)
{
	struct flock lock = {};
	lock.l_type = type;
	lock.l_whence = SEEK_SET;
	lock.l_start = start;
	lock.l_len = length;
	return lock;
}


// What holds the mark of the open file fd, as its own opening sees it.
enum class mark { kFree, kRun, kOther, kUnknown };

mark
look_at_mark(int fd)
{
	struct flock lock = lock_over(F_WRLCK, kMark, 1);
	if (fcntl(fd, F_OFD_GETLK, &lock) != 0)
		return mark::kUnknown;
	if (lock.l_type == F_UNLCK)
		return mark::kFree;
	// Only a run's mark is a read lock of an opening on that byte alone; a
	// lock over the whole file is another program's.
	if (lock.l_type == F_RDLCK && lock.l_start == kMark && lock.l_len == 1
			&& lock.l_pid == -1)
		return mark::kRun;
	return mark::kOther;
}


bool
set_mark(int fd, short type)
{
	struct flock lock = lock_over(type, kMark, 1);
	return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}


// A wait of its own for each process, so that two runs that met part.
void
wait_a_little(int attempt)
{
	static unsigned seed = (unsigned)getpid() ^ (unsigned)time(NULL);
	long most = kFirstWaitMicroseconds << attempt;
	long microseconds = most / 2 + (long)(rand_r(&seed) % (most / 2 + 1));
	struct timespec wait
			= {microseconds / 1000000, (microseconds % 1000000) * 1000};
	while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
	}
}


// Whether a failed read lease tells of a writer: on a network file system
// the lease is also refused for want of the server's leave to cache. Asked
// once per file system.
bool
leases_tell(int fd)
{
	static std::map<dev_t, bool> known;
	struct stat status;
	if (fstat(fd, &status) != 0)
		return false;
	auto found = known.find(status.st_dev);
	if (found != known.end())
		return found->second;
	struct statfs where;
	if (fstatfs(fd, &where) != 0)
		return false;
	bool tells = true;
	switch ((unsigned long)where.f_type) {
	case NFS_SUPER_MAGIC:
	case SMB_SUPER_MAGIC:
	case CIFS_SUPER_MAGIC:
	case SMB2_SUPER_MAGIC:
	case CEPH_SUPER_MAGIC:
		tells = false;
		break;
	}
	known[status.st_dev] = tells;
	return tells;
}


// True when some process has the open file fd open for writing: a read
// lease is refused exactly then. It is given back at once; a program that
// opens the file for writing meanwhile is held up that long and has the
// host send the lease's signal, which must not end this process.
bool
open_for_writing(int fd)
{
	if (!leases_tell(fd))
		return false;
	struct sigaction before;
	struct sigaction ignore = {};
	ignore.sa_handler = SIG_IGN;
	bool quiet = sigaction(SIGIO, NULL, &before) == 0
			&& before.sa_handler == SIG_DFL
			&& sigaction(SIGIO, &ignore, NULL) == 0;
	bool writing = false;
	if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
		fcntl(fd, F_SETLEASE, F_UNLCK);
	else
		writing = errno == EAGAIN;
	if (quiet)
		sigaction(SIGIO, &before, NULL);
	return writing;
}


// True when another program holds a lock over the data of the open file
// fd: any lock there is one, as a run's own marks lie beyond.
bool
locked_over_data(int fd)
{
	struct flock lock = lock_over(F_WRLCK, 0, kMark);
	return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

} // namespace


run_lock
take_run_lock(int fd)
{
	for (int attempt = 0; attempt < kTries; attempt++) {
		mark seen = look_at_mark(fd);
		if (seen == mark::kRun)
			return run_lock::kOtherRun;
		if (seen == mark::kOther)
			return run_lock::kOtherLock;
		if (seen == mark::kUnknown)
			return run_lock::kNoLocks;
		if (!set_mark(fd, F_RDLCK)) {
			// Only another program's write lock over the byte refuses it.
			if (errno == EAGAIN || errno == EACCES)
				return run_lock::kOtherLock;
			return run_lock::kNoLocks;
		}
		// Another run may have marked it in the same instant: then both
		// see the other, and both let go.
		seen = look_at_mark(fd);
		if (seen == mark::kFree)
			return run_lock::kTaken;
		set_mark(fd, F_UNLCK);
		if (seen == mark::kOther)
			return run_lock::kOtherLock;
		wait_a_little(attempt);
	}
	return run_lock::kOtherRun;
}


void
mark_new(int fd)
{
	set_mark(fd, F_RDLCK);
}


bool
held_by_run(int fd)
{
	return look_at_mark(fd) == mark::kRun;
}


std::string
held_by_program(int fd)
{
	bool writing = open_for_writing(fd);
	bool locked = locked_over_data(fd);
	if (writing && locked)
		return std::string(_("it is open for writing in another program"))
				+ _("; it is locked as well");
	if (writing)
		return _("it is open for writing in another program");
	if (locked)
		return _(kLockedElsewhere);
	return std::string();
}
