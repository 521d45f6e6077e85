/*
 * Writing the converted file: the source is set aside under its backup name
 * and the converted text takes its place, written whole before it counts.
 * When anything fails on the way the source goes back under its own name.
 */
#include "convert/convert.h"

#include "charmap/flat_map.h"
#include "charmap/options.h"
#include "convert/result.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>


namespace {

const char kBackupSuffix[] = "-BAK";

// Large enough that the system calls cost nothing, small enough to stay in
// the cache while the loop fills it.
const size_t kOutputSize = 256 * 1024;


void
load_table(mt* map, int32_t style)
{
	switch (style) {
	case kStyleTos:
		map[0].SetTos();
		break;
	case kStylePc:
		map[0].SetPc();
		break;
	case kStyleMac:
		map[0].SetMac();
		break;
	case kStyleAnsi:
		map[0].SetAnsi();
		break;
	case kStyleLatex:
		map[0].SetLatex();
		break;
	default:
		break;
	}
}


bool
write_all(int fd, const char* data, size_t size)
{
	while (size > 0) {
		ssize_t written = write(fd, data, size);
		if (written < 0 && errno == EINTR)
			continue;
		if (written <= 0)
			return false;
		data += written;
		size -= (size_t)written;
	}
	return true;
}


// Every byte through the map into fd; false with errno set on failure.
bool
write_converted(int fd, mt* map, const uint8_t* data, size_t length)
{
	flat_map flat;
	flatten_map(map, nyl_mod, flat);
	char* output = (char*)malloc(kOutputSize);
	if (output == NULL) {
		errno = ENOMEM;
		return false;
	}
	bool ok = true;
	size_t position = 0;
	while (ok && position < length) {
		size_t size
				= map_bytes(flat, data, length, position, output, kOutputSize);
		ok = write_all(fd, output, size);
	}
	int error = errno;
	free(output);
	errno = error;
	return ok;
}


// Undoes a conversion that could not be finished: the partial output goes
// and the backup takes the source's name again.
void
put_back(const char* path, const std::string& backup, bool movedAside,
		bool created, const std::string& target)
{
	if (!movedAside) {
		if (created)
			unlink(target.c_str());
		return;
	}
	if (rename(backup.c_str(), path) != 0) {
		fprintf(stderr,
				"Textwend: cannot put '%s' back: %s; its text is kept in "
				"'%s'\n",
				path, strerror(errno), backup.c_str());
	}
}

} // namespace


void
toNFile(char* buffer, off_t length, char* path)
{
	std::string target(path);

	mt map[kMapSize];
	map[0].Clear();
	map[0].SetNewline(fstyle);
	if ((uint32_t)pop_ind <= 49)
		load_table(map, ostyle);

	// The new file gets the source's permission bits, never wider.
	struct stat sourceStat;
	bool haveStat = stat(path, &sourceStat) == 0;
	mode_t permissions = haveStat ? sourceStat.st_mode & 0777 : 0600;

	// Only writing beside the source leaves it in place; any other value
	// sets it aside, so its name is never opened while it holds the text.
	bool moveAside = r_modus != 1;
	std::string backup;
	std::string attributeSource;
	if (moveAside) {
		backup = target + kBackupSuffix;
		if (rename(path, backup.c_str()) != 0) {
			fprintf(stderr,
					"Textwend: cannot rename '%s' to '%s': %s; the file is "
					"left as it was\n",
					path, backup.c_str(), strerror(errno));
			result_left_alone(
					std::string("it cannot be renamed: ") + strerror(errno));
			return;
		}
		printf("\n rename: '%s' \n \t to: '%s'", path, backup.c_str());
		attributeSource = backup;
	} else {
		attributeSource = target;
		target += map[0].ext;
	}

	int fd = open(
			target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	printf("\n");
	if (fd < 0) {
		printf(" No Target access !\n");
		result_left_alone(
				std::string("the new file cannot be made: ") + strerror(errno));
		put_back(path, backup, moveAside, false, target);
		return;
	}

	size_t size = length > 0 ? (size_t)length : 0;
	bool written = write_converted(fd, map, (const uint8_t*)buffer, size);
	int error = errno;
	printf("\n\n");
	if (close(fd) != 0 && written) {
		written = false;
		error = errno;
	}
	if (!written) {
		fprintf(stderr,
				"Textwend: cannot write '%s': %s; the file is left as it "
				"was\n",
				target.c_str(), strerror(error));
		result_left_alone(std::string("the new text cannot be written: ")
				+ strerror(error));
		put_back(path, backup, moveAside, true, target);
		return;
	}

	last_result.converted = true;
	last_result.output = target;
	last_result.backup = backup;

	dup_attr(attributeSource.data(), target.data());
	static char html[] = "text/html";
	if (pop_ind == 1 && ostyle == kStyleBe)
		mim_setA(target.data(), html);

	// Last, so that a read-only source does not keep the attributes out. The
	// owner stays who it was where we may say so; only root may give a file
	// away, so a refusal is no error.
	if (haveStat) {
		int given = chown(target.c_str(), sourceStat.st_uid, sourceStat.st_gid);
		(void)given;
	}
	chmod(target.c_str(), permissions);
}
