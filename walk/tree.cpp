/*
 * The walk of a tree, without recursion: a stack of the folders from the
 * root to the one at hand, each with its names read whole when it was
 * entered and the place of the next one to look at.
 */
#include "walk/tree.h"

#include "convert/stamp.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>


namespace {

// The folders of version control, which hold their own copies of texts.
const char* const kVersionControl[] = {".git", ".svn", ".hg", "CVS"};

// What a run of Textwend names its own files: .NAME.textwend, and the
// temporary .textwend-... of a file system without nameless files.
const char kOwnMark[] = ".textwend";

const size_t kReadSize = 32 * 1024;


struct item {
	uint32_t offset; // of the name in the folder's names
	unsigned char type;
};


// A folder on the stack.
struct folder {
	int fd = -1; // -1 while closed to spare descriptors
	dev_t device = 0;
	ino_t inode = 0;
	std::string names; // each name followed by '\0'
	std::vector<item> items;
	size_t next = 0;
	size_t pathLength = 0; // of its own path
	size_t nameOffset = 0; // of its name in its path
	bool gone = false;     // moved away while it was walked
};


struct identity {
	dev_t device;
	ino_t inode;
	uint64_t mount;
	bool hasMount;
};


// Stops on any answer of a hook but kWalkOn.
class stopped { };


// Reading a folder's names leaves its access time as it was where the host
// allows (its owner, or root): a look at a tree changes nothing.
int
open_folder(int at, const char* name)
{
	const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
	int fd = openat(at, name, flags | O_NOATIME);
	if (fd < 0 && errno == EPERM)
		fd = openat(at, name, flags);
	return fd;
}


// The identity of name in at, links not followed and nothing mounted on
// the way; 0 or the host's error.
int
identify(int at, const char* name, int flags, identity& found, mode_t* mode)
{
	struct statx status;
	if (statx(at, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
				STATX_TYPE | STATX_INO | STATX_MNT_ID, &status)
			!= 0)
		return errno;
	found.device = makedev(status.stx_dev_major, status.stx_dev_minor);
	found.inode = status.stx_ino;
	found.hasMount = (status.stx_mask & STATX_MNT_ID) != 0;
	found.mount = found.hasMount ? status.stx_mnt_id : 0;
	if (mode != NULL)
		*mode = status.stx_mode;
	return 0;
}


// Reads the names of the open folder fd whole, sorted by their bytes;
// 0 or the host's error.
int
read_names(int fd, folder& into, std::vector<char>& buffer)
try {
	buffer.resize(kReadSize);
	while (true) {
		ssize_t count = getdents64(fd, buffer.data(), buffer.size());
		if (count < 0 && errno == EINTR)
			continue;
		if (count < 0)
			return errno;
		if (count == 0)
			break;
		for (ssize_t at = 0; at < count;) {
			const struct dirent64* entry
					= reinterpret_cast<const struct dirent64*>(
							buffer.data() + at);
			at += entry->d_reclen;
			const char* name = entry->d_name;
			if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
				continue;
			into.items.push_back(item {
					static_cast<uint32_t>(into.names.size()), entry->d_type});
			into.names.append(name, strlen(name) + 1);
		}
	}
	const char* names = into.names.data();
	std::sort(into.items.begin(), into.items.end(),
			[names](const item& a, const item& b) {
				return strcmp(names + a.offset, names + b.offset) < 0;
			});
	return 0;
} catch (const std::bad_alloc&) {
	return ENOMEM;
}


class walker {
public:
	walker(const walk_hooks& hooks, walk_counts& counts, bool quick)
		: fHooks(hooks)
		, fCounts(counts)
		, fQuick(quick)
	{
	}

	~walker()
	{
		for (folder& open : fStack) {
			if (open.fd >= 0)
				close(open.fd);
		}
	}

	int Walk(const char* root);

private:
	void _Visit(size_t at);
	void _Enter(const char* name);
	void _Leave();
	void _File(const char* name, const struct stat* status);
	void _Passed(const char* name, walk_passed kind, int error = 0);
	// Hands the entry name of the folder at hand to hook, and stops the
	// walk when the hook says so.
	template<typename Hook>
	void _Tell(const char* name, int error, const Hook& hook,
			const struct stat* status = NULL);
	// Opens the folder at index again, from the one below it or from the
	// nearest open one above it; false when it is no longer there.
	bool _Reopen(size_t index);
	void _SpareDescriptors();
	bool _OnRootMount(const identity& found) const;

	const walk_hooks& fHooks;
	walk_counts& fCounts;
	// The first pass: files are taken for what their folder says.
	bool fQuick;
	std::vector<folder> fStack;
	std::string fPath;
	size_t fRootLength = 0;
	identity fRoot = {};
	std::vector<char> fBuffer;
};


int
walker::Walk(const char* root)
{
	fPath = root;
	while (fPath.size() > 1 && fPath.back() == '/')
		fPath.pop_back();

	folder top;
	top.fd = open_folder(AT_FDCWD, fPath.c_str());
	if (top.fd < 0)
		return errno;
	// The paths below "/" start with one slash, not two.
	if (fPath == "/")
		fPath.clear();
	fRootLength = fPath.size();
	fStack.push_back(std::move(top));
	folder& first = fStack.back();
	int error = identify(first.fd, "", AT_EMPTY_PATH, fRoot, NULL);
	if (error == 0 && faccessat(first.fd, ".", X_OK, AT_EACCESS) != 0)
		error = errno;
	if (error == 0)
		error = read_names(first.fd, first, fBuffer);
	if (error != 0)
		return error;
	first.device = fRoot.device;
	first.inode = fRoot.inode;
	first.pathLength = fPath.size();

	try {
		while (!fStack.empty()) {
			folder& current = fStack.back();
			if (current.next >= current.items.size()) {
				_Leave();
				continue;
			}
			_Visit(current.items[current.next++].offset);
		}
	} catch (const stopped&) {
		return ECANCELED;
	}
	return 0;
}


void
walker::_Visit(size_t offset)
{
	folder& current = fStack.back();
	// A copy: entering a folder moves the stack.
	std::string name(current.names.data() + offset);
	unsigned char type = current.items[current.next - 1].type;

	// A file system that does not say, and a file to be handed on as it
	// is now: asked, once. Gone by now, it is no concern of the walk.
	struct stat status;
	bool known = false;
	if (type == DT_UNKNOWN || (type == DT_REG && !fQuick)) {
		if (fstatat(current.fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW)
				!= 0)
			return;
		type = IFTODT(status.st_mode);
		known = true;
	}

	walk_passed kind = passed_by_name(name.c_str(), type == DT_DIR);
	if (kind != kPassedKinds) {
		_Passed(name.c_str(), kind);
		return;
	}
	switch (type) {
	case DT_LNK:
		_Passed(name.c_str(), kPassedLink);
		return;
	case DT_REG:
		_File(name.c_str(), known ? &status : NULL);
		return;
	case DT_DIR:
		_Enter(name.c_str());
		return;
	default:
		_Passed(name.c_str(), kPassedSpecial);
		return;
	}
}


void
walker::_Enter(const char* name)
{
	folder& parent = fStack.back();
	identity found = {};
	mode_t mode;
	int error = identify(parent.fd, name, 0, found, &mode);
	if (error == ENOENT)
		return; // gone since the folder was read
	if (error != 0) {
		_Passed(name, kPassedUnreadable, error);
		return;
	}
	// What was a folder when the names were read may be another kind by
	// now; it is taken for what it is.
	if (S_ISLNK(mode)) {
		_Passed(name, kPassedLink);
		return;
	}
	if (S_ISREG(mode)) {
		struct stat status;
		if (fQuick)
			_File(name, NULL);
		else if (fstatat(parent.fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0)
			_File(name, &status);
		return;
	}
	if (!S_ISDIR(mode)) {
		_Passed(name, kPassedSpecial);
		return;
	}
	if (!_OnRootMount(found)) {
		_Passed(name, kPassedOtherMount);
		return;
	}
	// A folder that holds itself: only a mount can make one, and a host
	// that does not tell mounts apart can still be asked this.
	for (const folder& above : fStack) {
		if (above.device == found.device && above.inode == found.inode) {
			_Passed(name, kPassedOtherMount);
			return;
		}
	}

	_SpareDescriptors();
	folder child;
	child.fd = open_folder(parent.fd, name);
	if (child.fd < 0) {
		error = errno;
		if (error != ENOENT && error != ENOTDIR && error != ELOOP)
			_Passed(name, kPassedUnreadable, error);
		return;
	}
	struct stat status;
	if (fstat(child.fd, &status) != 0 || status.st_dev != found.device
			|| status.st_ino != found.inode) {
		// Replaced since it was looked at: whatever is there now is not
		// what was checked.
		close(child.fd);
		return;
	}
	error = faccessat(child.fd, ".", X_OK, AT_EACCESS) == 0 ? 0 : errno;
	if (error == 0)
		error = read_names(child.fd, child, fBuffer);
	if (error != 0) {
		close(child.fd);
		_Passed(name, kPassedUnreadable, error);
		return;
	}

	child.device = found.device;
	child.inode = found.inode;
	child.nameOffset = fPath.size() + 1;
	fPath += '/';
	fPath += name;
	child.pathLength = fPath.size();
	fStack.push_back(std::move(child));
	fCounts.folders++;
}


void
walker::_Leave()
{
	size_t index = fStack.size() - 1;
	// The folder it goes back to is open again first: what is left of it
	// is walked through its descriptor.
	bool parentOpen
			= index == 0 || fStack[index - 1].fd >= 0 || _Reopen(index - 1);
	bool tell = index > 0 && parentOpen && !fStack[index].gone;

	folder& done = fStack[index];
	if (done.fd >= 0)
		close(done.fd);
	std::string name = fPath.substr(done.nameOffset);
	fStack.pop_back();
	if (fStack.empty())
		return;
	fPath.resize(fStack.back().pathLength);
	if (tell && fHooks.folderDone)
		_Tell(name.c_str(), 0, fHooks.folderDone);
}


bool
walker::_Reopen(size_t index)
{
	folder& wanted = fStack[index];
	auto same = [&wanted](int fd) {
		struct stat status;
		return fd >= 0 && fstat(fd, &status) == 0
				&& status.st_dev == wanted.device
				&& status.st_ino == wanted.inode;
	};

	// Up from the folder below it, which is open: one step.
	int fd = openat(
			fStack[index + 1].fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (!same(fd)) {
		// The folder below moved: down from the nearest open one, by the
		// names on the way.
		if (fd >= 0)
			close(fd);
		size_t open = index;
		while (fStack[open].fd < 0)
			open--;
		fd = -1;
		int at = fStack[open].fd;
		for (size_t level = open + 1; level <= index; level++) {
			std::string step = fPath.substr(fStack[level].nameOffset,
					fStack[level].pathLength - fStack[level].nameOffset);
			int next = open_folder(at, step.c_str());
			if (fd >= 0)
				close(fd);
			fd = at = next;
			if (fd < 0)
				break;
		}
		if (!same(fd)) {
			if (fd >= 0)
				close(fd);
			// Moved away: what is left of it is not walked.
			wanted.gone = true;
			wanted.next = wanted.items.size();
			return false;
		}
	}
	wanted.fd = fd;
	return true;
}


void
walker::_SpareDescriptors()
{
	// The root stays open; the rest as far up as the limit allows.
	int open = 0;
	for (const folder& level : fStack)
		open += level.fd >= 0;
	for (size_t level = 1;
			open >= kWalkDescriptors && level + 1 < fStack.size(); level++) {
		if (fStack[level].fd >= 0) {
			close(fStack[level].fd);
			fStack[level].fd = -1;
			open--;
		}
	}
}


bool
walker::_OnRootMount(const identity& found) const
{
	if (fRoot.hasMount && found.hasMount)
		return found.mount == fRoot.mount;
	return found.device == fRoot.device;
}


void
walker::_File(const char* name, const struct stat* status)
{
	// Taken for a file when its folder was read, it may be another kind by
	// now.
	if (status != NULL && !S_ISREG(status->st_mode)) {
		_Passed(name, S_ISLNK(status->st_mode) ? kPassedLink : kPassedSpecial);
		return;
	}
	fCounts.files++;
	if (fHooks.file)
		_Tell(name, 0, fHooks.file, status);
}


void
walker::_Passed(const char* name, walk_passed kind, int error)
{
	fCounts.passed[kind]++;
	if (fHooks.passed) {
		_Tell(name, error, [&](const walk_entry& entry) {
			return fHooks.passed(entry, kind);
		});
	}
}


template<typename Hook>
void
walker::_Tell(const char* name, int error, const Hook& hook,
		const struct stat* status)
{
	size_t length = fPath.size();
	fPath += '/';
	fPath += name;
	walk_entry entry;
	entry.folder = fStack.back().fd;
	entry.name = fPath.c_str() + length + 1;
	entry.path = fPath.c_str();
	entry.relative = fRootLength + 1;
	entry.depth = static_cast<int>(fStack.size());
	entry.error = error;
	entry.status = status;
	walk_answer answer = hook(entry);
	fPath.resize(length);
	if (answer != kWalkOn)
		throw stopped();
}

} // namespace


walk_passed
passed_by_name(const char* name, bool isFolder)
{
	if (name[0] == '.' && strstr(name, kOwnMark) != NULL)
		return kPassedOwn;
	if (isFolder) {
		for (const char* control : kVersionControl) {
			if (strcmp(name, control) == 0)
				return kPassedVersionControl;
		}
	}
	if (name[0] == '.')
		return kPassedHidden;
	if (!leaf_of_backup(name).empty())
		return kPassedBackup;
	return kPassedKinds;
}


namespace {

int
walk(const char* root, const walk_hooks& hooks, walk_counts& counts, bool quick)
{
	try {
		walker walk(hooks, counts, quick);
		return walk.Walk(root);
	} catch (const std::bad_alloc&) {
		return ENOMEM;
	}
}

} // namespace


int
walk_tree(const char* root, const walk_hooks& hooks, walk_counts& counts)
{
	return walk(root, hooks, counts, false);
}


int
count_tree(const char* root, walk_counts& counts,
		const std::function<walk_answer(uint64_t found)>& found)
{
	walk_hooks hooks;
	hooks.file = [&](const walk_entry&) {
		return found ? found(counts.files) : kWalkOn;
	};
	return walk(root, hooks, counts, true);
}
