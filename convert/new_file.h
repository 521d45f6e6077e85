/*
 * The converted text on its way: a file in the source's folder that nobody
 * else can have made or opened. It has no name at all where the file system
 * allows, so that nothing of it remains when the process dies; it is removed
 * again unless it was given its final name.
 */
#ifndef CONVERT_NEW_FILE_H
#define CONVERT_NEW_FILE_H

#include <string>

// Gives the open file fd the name name in folder as well: by the descriptor
// where the host allows, else through the host's path of the open file.
// 0, or -1 with errno set.
int link_open_file(int fd, int folder, const char* name);

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

	// 0, or the host's error.
	int Create();

	// Gives the file name only if name is free: 0, or the host's error
	// (EEXIST when it is taken).
	int TakeFreeName(const std::string& name);

	// Puts the file in place of name in one step, whatever name holds. Where
	// the host swaps two names, what held name comes back under the
	// temporary one (given), for the caller to judge; it goes when this
	// object does, or comes back with SwapBack. A swap also spares some file
	// systems the flush they give a file renamed over another.
	int TakeName(const std::string& name, bool& given);

	// The name given back by TakeName, while it has it.
	const std::string&
	Given() const
	{
		return fTemporary;
	}

	// Undoes the swap of TakeName.
	int SwapBack(const std::string& name);

private:
	int fFolder;
	int fFd = -1;
	bool fAnonymous = true;
	std::string fTemporary; // its name while it has one that is not final
};

#endif // CONVERT_NEW_FILE_H
