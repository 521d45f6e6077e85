/*
 * Carrying the attributes of the source file over to the converted file, the
 * MIME type among them. Each value is echoed on standard output as it goes.
 */
#include "convert/convert.h"

#include <fs_attr.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>


void
dup_attr(char* source, char* target)
{
	DIR* attributes = fs_open_attr_dir(source);
	if (attributes == NULL)
		return;

	int from = -1;
	int to = -1;
	bool opened = false;
	while (struct dirent* entry = fs_read_attr_dir(attributes)) {
		if (!opened) {
			opened = true;
			from = open(source, O_RDONLY | O_CLOEXEC);
			to = open(target, O_WRONLY | O_CLOEXEC);
		}
		// Nothing is written that was not read whole.
		if (from < 0 || to < 0)
			break;

		attr_info info;
		if (fs_stat_attr(from, entry->d_name, &info) != 0 || info.size < 0)
			continue;
		size_t size = (size_t)info.size;
		char* value = (char*)malloc(size > 0 ? size : 1);
		if (value == NULL)
			continue;
		ssize_t got
				= fs_read_attr(from, entry->d_name, info.type, 0, value, size);
		if (got == (ssize_t)size) {
			fwrite(value, 1, strnlen(value, size), stdout);
			fs_write_attr(to, entry->d_name, info.type, 0, value, size);
		}
		free(value);
	}

	if (from >= 0)
		close(from);
	if (to >= 0)
		close(to);
	fs_close_attr_dir(attributes);
}
