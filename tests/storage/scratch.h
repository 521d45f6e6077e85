/*
 * A fresh folder for one test, under the working directory (the build
 * folder), removed with everything in it when the test ends.
 */
#ifndef TESTS_STORAGE_SCRATCH_H
#define TESTS_STORAGE_SCRATCH_H

#include <string>

class Scratch {
public:
	Scratch();
	~Scratch();

	// Empty when the folder could not be made.
	const std::string&
	Folder() const
	{
		return fFolder;
	}
	std::string Path(const std::string& name) const;

	// Makes a file holding content and returns its path.
	std::string AddFile(const std::string& name, const std::string& content);
	std::string AddFolder(const std::string& name);
	std::string AddLink(const std::string& name, const std::string& target);

	// Why the folder cannot hold user extended attributes; empty when it
	// can.
	std::string XattrTrouble() const;

private:
	std::string fFolder;
};

// Fails the running test unless the scratch folder takes user extended
// attributes.
#define ASSERT_SCRATCH_HAS_XATTRS(scratch)                                     \
	ASSERT_EQ((scratch).XattrTrouble(), "")                                    \
			<< "put the build folder on a file system with user extended "     \
			   "attributes (ext4, xfs, btrfs)"

#endif // TESTS_STORAGE_SCRATCH_H
