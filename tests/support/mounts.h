// File systems of their own for tests that run as root: an image of ext4 or
// vfat on a loop device, or tmpfs, mounted on a fresh folder and unmounted
// at the end.
#ifndef TESTS_SUPPORT_MOUNTS_H
#define TESTS_SUPPORT_MOUNTS_H

#include "support/files.h"

#include <sys/mount.h>

#include <string>

namespace test {

class Mount {
public:
	// type: "ext4", "vfat" or "tmpfs".
	explicit Mount(const std::string& type)
		: fType(type)
		, fPlace(Reach::kChild, "mount")
	{
		if (getuid() != 0) {
			fTrouble = "mounting " + type + " needs root";
			return;
		}
		fImage = fPlace / "image";
		fPath = fPlace.add_folder("on");
		if (type != "tmpfs") {
			std::string make = "/usr/sbin/mkfs." + type;
			if (access(make.c_str(), X_OK) != 0) {
				fTrouble = make + " is not installed";
				return;
			}
			std::vector<std::string> arguments = {make, fImage};
			if (type == "ext4")
				arguments = {make, "-q", "-F", fImage};
			if (truncate_to(fImage, 64 * 1024 * 1024) != 0
					|| run_program(arguments).status != 0) {
				fTrouble = "cannot make a " + type + " image";
				return;
			}
		}
		Attach();
	}

	~Mount()
	{
		if (fMounted)
			umount2(fPath.c_str(), MNT_DETACH);
	}

	// Why the file system is not there; empty when it is.
	const std::string&
	trouble() const
	{
		return fTrouble;
	}

	const std::string&
	path() const
	{
		return fPath;
	}

	// Unmounted and mounted again: what the disk holds, and only that.
	bool
	Remount()
	{
		if (fMounted && umount2(fPath.c_str(), 0) != 0)
			return false;
		fMounted = false;
		return Attach();
	}

private:
	static int
	truncate_to(const std::string& path, off_t size)
	{
		write_file(path, "");
		return truncate(path.c_str(), size);
	}

	bool
	Attach()
	{
		ChildResult mounted = fType == "tmpfs"
				? run_program(
						{"/usr/bin/mount", "-t", "tmpfs", "textwend", fPath})
				: run_program({"/usr/bin/mount", "-o", "loop", fImage, fPath});
		fMounted = mounted.status == 0;
		if (!fMounted)
			fTrouble = "cannot mount " + fType + ": "
					+ mounted.errors.substr(0, mounted.errors.find('\n'));
		return fMounted;
	}

	std::string fType;
	Folder fPlace;
	std::string fImage;
	std::string fPath;
	std::string fTrouble;
	bool fMounted = false;
};

} // namespace test

#endif // TESTS_SUPPORT_MOUNTS_H
