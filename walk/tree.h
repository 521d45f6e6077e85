/*
 * The walk of a tree: every file below a folder that may hold a person's
 * text, handed to the caller one at a time, in a first quick pass that only
 * counts them and a second that visits them.
 *
 * What the walk passes over, each kind counted (walk_passed): hidden names
 * (starting with '.'), the folders of version control (.git, .svn, .hg,
 * CVS), backups (NAME-BAK, NAME-BAKn) and Textwend's own names
 * (.NAME.textwend...), symbolic links (never followed), mount points inside
 * the tree (another file system, or a bind mount of this one, a loop among
 * them: never entered), pipes, sockets and devices, and folders that cannot
 * be read or entered (named, with the reason). Whether a file was converted
 * already is the caller's to judge.
 *
 * A folder's names are read whole when it is entered and visited in the
 * order of their bytes; what changes in it from then on (a backup made
 * beside a file, a name traded, a file added or taken away) neither fails
 * the walk nor brings a name twice. A folder's descriptor is the one thing
 * it holds open, and at most kWalkDescriptors of them are open at once (two
 * more for a moment, on the way back up): memory and descriptors depend on
 * the depth of the folder at hand and on the size of the folders on the
 * way to it, never on the number of files.
 * Paths of any length work, as every call goes through the descriptor of
 * a folder.
 */
#ifndef WALK_TREE_H
#define WALK_TREE_H

#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>

#include <functional>

// The folders held open at most, the root among them.
const int kWalkDescriptors = 16;

enum walk_passed {
	kPassedHidden,
	kPassedVersionControl,
	kPassedBackup,
	kPassedOwn,
	kPassedLink,
	kPassedOtherMount,
	kPassedSpecial,
	kPassedUnreadable,
	kPassedKinds
};

enum walk_answer { kWalkOn, kWalkStop };

// An entry of the tree, as a hook sees it; valid for the call only.
struct walk_entry {
	// The open folder that holds it, and its name there.
	int folder;
	const char* name;
	// Its whole path, starting with the root as given; the part below the
	// root starts at path + relative.
	const char* path;
	size_t relative;
	// 1 for an entry of the root itself.
	int depth;
	// A file handed on by walk_tree: its status as it is now, links not
	// followed. NULL for the rest, and in count_tree's pass.
	const struct stat* status;
	// Why a folder cannot be read or entered (kPassedUnreadable): the
	// host's error. 0 otherwise.
	int error;
};

struct walk_counts {
	// The candidates handed to the caller: regular files, empty ones too.
	uint64_t files = 0;
	// The folders entered below the root.
	uint64_t folders = 0;
	// The entries passed over, by kind; a folder passed over counts once,
	// whatever it holds.
	uint64_t passed[kPassedKinds] = {};
};

struct walk_hooks {
	// Each candidate file, in turn.
	std::function<walk_answer(const walk_entry& file)> file;
	// Each entry passed over, with its kind; may be empty.
	std::function<walk_answer(const walk_entry& entry, walk_passed kind)>
			passed;
	// Each folder below the root once everything inside it has been
	// walked: the deepest first. It may be renamed then; may be empty.
	std::function<walk_answer(const walk_entry& folder)> folderDone;
};

// Walks the tree below the folder root (not followed if it is a symbolic
// link) and adds what it meets to counts. A file that is gone by the time
// its turn comes is passed over without a word. 0 once walked to its end;
// ECANCELED when a hook answered kWalkStop; or the host's error when root
// itself cannot be walked (ENOTDIR, ELOOP for a link, EACCES, ENOMEM).
int walk_tree(const char* root, const walk_hooks& hooks, walk_counts& counts);

// The first quick pass: walks as walk_tree does, but takes the files for
// what their folder said they were when it was read, hands nothing on, and
// tells found the number of candidates met so far after each (found may be
// empty, or stop the count).
int count_tree(const char* root, walk_counts& counts,
		const std::function<walk_answer(uint64_t found)>& found);

// The rules by name alone, for entries that the caller meets itself: the
// kind that name is passed over as (a version-control name only when it is
// a folder's), or kPassedKinds for a name the walk goes into.
walk_passed passed_by_name(const char* name, bool isFolder);

#endif // WALK_TREE_H
