/*
 * The converted text on its way: a file in the source's folder that nobody
 * else can have made or opened, marked as this run's (run_lock.h). It has
 * no name at all where the file system allows, so that nothing of it
 * remains when the process dies; elsewhere a name derived from the
 * source's (family.h), which the next run recognises. A name it takes goes
 * again with this object, unless it is kept.
 */
#ifndef CONVERT_NEW_FILE_H
#define CONVERT_NEW_FILE_H

#include <stdint.h>
#include <sys/stat.h>

#include <string>

// Gives the open file fd the name name in folder as well: by the descriptor
// where the host allows, else through the host's path of the open file.
// 0, or -1 with errno set.
int link_open_file(int fd, int folder, const char* name);

// The host cannot do this with names here (a flag of renameat2, a second
// name): the file system's answer, not a fault of the moment.
bool cannot_here(int error);

// The host trades no names here: renameat2 takes no such flag.
bool cannot_trade(int error);

class new_file {
public:
	explicit new_file(int folder);
	~new_file();

	new_file(const new_file&) = delete;
	new_file& operator=(const new_file&) = delete;

	int
	fd() const
	{
		return fFd;
	}

	// Made with the permission bits mode where it has no name; with a name
	// derived from leaf, the source's, for its owner only. 0, or the host's
	// error.
	int Create(mode_t mode, const std::string& leaf);

	// As it was made: its owner, and what tells it among the folder's files.
	const struct stat&
	Status() const
	{
		return fStatus;
	}

	// Gives the file name only if name is free: 0, or the host's error
	// (EEXIST when it is taken). A name it had before may stay until the
	// file is closed (family.h, move_name).
	int TakeFreeName(const std::string& name);

	// The same for a name of the source's family (family.h), which no other
	// program makes.
	int TakeFamilyName(const std::string& name);

	// True while it has no name at all.
	bool
	Anonymous() const
	{
		return fAnonymous;
	}

	// The name it has; empty while it has none.
	const std::string&
	Name() const
	{
		return fName;
	}

	// Trades names with other in one step: the file is then other, and what
	// was other has the file's name before. 0, or the host's error; EINVAL
	// where the host cannot trade names. The host reports the trade as two
	// renames, other's first: a view that follows it keeps other's name.
	int TradeWith(const std::string& other);

	// Closes the descriptor, and gives up a name left until then; the file
	// stays as it is: 0, or the host's error, which may be one of writing
	// it.
	int Close();

	// True when name is this file.
	bool Names(const std::string& name) const;

	// The name it has now stays when this object goes.
	void
	Keep()
	{
		fName.clear();
	}

private:
	int fFolder;
	int fFd = -1;
	struct stat fStatus = {};
	bool fAnonymous = true; // no name at all
	std::string fName;      // the name it has, unless kept
	std::string fStale;     // a name it had, to go once it is closed
};

#endif // CONVERT_NEW_FILE_H
