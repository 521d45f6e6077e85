/*
 * tracker-run: plays the file manager for an add-on image. It hands the
 * image the given entries as the selection, the way the file manager does
 * when the user invokes an add-on: as entry references under "refs", from
 * a thread of its own, while its application object exists.
 *
 * Standard output belongs to the add-on; the host's own words go to
 * standard error.
 */
#include "app/text_domain.h"
#include "convert/utf8.h"

#include <add_on_status.h>
#include <Application.h>
#include <Entry.h>
#include <FindDirectory.h>
#include <Message.h>
#include <Path.h>
#include <TrackerAddOn.h>

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <locale.h>
#include <pthread.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

const char kProgramName[] = "tracker-run";
const char kSignature[] = "application/x-vnd.textwend-tracker-run";

// The file manager's own folder in each add-on folder.
const char kTrackerAddOns[] = "Tracker";

enum { kExitDone = 0, kExitLeftAlone = 1, kExitFailure = 2 };

typedef void (*process_refs_hook)(entry_ref, BMessage*, void*);

// The most descriptors an add-on's batch holds at once: 4,096 files that
// wait, three descriptors each, and those open beside them. The kernel's
// table for that many takes 128 KiB.
const rlim_t kBatchDescriptors = 16384;


// What the add-on's thread needs.
struct AddOnCall {
	process_refs_hook hook;
	entry_ref directory;
	BMessage* refs;
};


const char kUsage[] = N_(
		"usage: tracker-run [--text-only] [--] IMAGE [--] [PATH...]\n"
		"Loads the add-on IMAGE and calls its process_refs with the PATHs\n"
		"as the selection, as the file manager does. Relative PATHs are\n"
		"taken from the current folder; a link is passed as the link; a\n"
		"file:/// URI is taken as the path it names. A PATH that cannot\n"
		"be handed over is reported and passed over.\n"
		"An IMAGE without a slash is an add-on name, looked up in\n"
		"~/config/add-ons/Tracker, then in the system's add-on folder.\n"
		"Exits 0 when the add-on converted or passed over every entry, 1\n"
		"when a PATH or an entry was left as it was, 2 when the arguments\n"
		"or IMAGE cannot be used; the add-on is then not called.\n"
		"--text-only passes over every PATH that file(1) does not take\n"
		"for text, as file managers that cannot filter want it. A --\n"
		"before IMAGE takes the next argument as IMAGE; one after it\n"
		"takes every argument that follows as a PATH.\n");


const char*
describe_status(status_t status)
{
	switch (status) {
	case B_NO_MEMORY:
		return _("out of memory");
	case B_PERMISSION_DENIED:
		return _("permission denied");
	case B_ENTRY_NOT_FOUND:
		return _("no such file or directory");
	case B_NOT_A_DIRECTORY:
		return _("a part of the path is not a folder");
	case B_NAME_TOO_LONG:
		return _("name too long");
	case B_LINK_LIMIT:
		return _("too many levels of symbolic links");
	default:
		return _("cannot be turned into an entry reference");
	}
}


// A name as it may be shown on a terminal: control characters, a backslash
// and bytes that are no UTF-8 are escaped.
std::string
shown(const std::string& name)
{
	std::string text;
	for (size_t i = 0; i < name.size();) {
		size_t length = printable_at(name, i);
		if (name[i] == '\\') {
			text += "\\\\";
			i++;
		} else if (length == 0) {
			char escape[8];
			snprintf(escape, sizeof(escape), "\\x%02X",
					static_cast<unsigned char>(name[i]));
			text += escape;
			i++;
		} else {
			text.append(name, i, length);
			i += length;
		}
	}
	return text;
}


int
hex_digit(char c)
{
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'a' && c <= 'f')
		return c - 'a' + 10;
	if (c >= 'A' && c <= 'F')
		return c - 'A' + 10;
	return -1;
}


// The path that a file:/// URI names, as the file managers pass them with
// every awkward byte escaped; other arguments are paths as they are. False
// for a URI that names no local path.
bool
path_of(const char* argument, std::string* path)
{
	static const char* const kLocalPrefixes[]
			= {"file:///", "file://localhost/"};
	const char* encoded = NULL;
	for (const char* prefix : kLocalPrefixes) {
		if (strncmp(argument, prefix, strlen(prefix)) == 0)
			encoded = argument + strlen(prefix) - 1;
	}
	if (encoded == NULL) {
		*path = argument;
		return strncmp(argument, "file:/", 6) != 0;
	}

	path->clear();
	for (const char* c = encoded; *c != '\0'; c++) {
		if (*c != '%') {
			*path += *c;
			continue;
		}
		int high = hex_digit(c[1]);
		int low = high < 0 ? -1 : hex_digit(c[2]);
		if (low < 0 || (high == 0 && low == 0))
			return false;
		*path += static_cast<char>(high * 16 + low);
		c += 2;
	}
	return true;
}


// The MIME type that file(1) gives the entry at path, links not followed;
// empty when it cannot tell.
std::string
mime_type_of(const std::string& path)
{
	int output[2];
	if (pipe(output) != 0)
		return std::string();
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
	posix_spawn_file_actions_addclose(&actions, output[0]);
	const char* arguments[]
			= {"file", "--brief", "--mime-type", "--", path.c_str(), NULL};
	pid_t child;
	int error = posix_spawnp(&child, "file", &actions, NULL,
			const_cast<char* const*>(arguments), environ);
	posix_spawn_file_actions_destroy(&actions);
	close(output[1]);

	std::string type;
	char buffer[256];
	ssize_t count;
	while (error == 0
			&& ((count = read(output[0], buffer, sizeof(buffer))) > 0
					|| (count < 0 && errno == EINTR))) {
		if (count > 0)
			type.append(buffer, count);
	}
	close(output[0]);
	int status = 0;
	if (error != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)
			|| WEXITSTATUS(status) != 0)
		return std::string();
	type.erase(type.find_last_not_of("\n") + 1);
	return type;
}


// Whether the entry at path is one to hand over when only text is wanted:
// text, or what the add-on passes over itself (a folder, a link, an empty
// file), or what file(1) cannot tell. Anything else is reported.
bool
is_text(const std::string& path)
{
	std::string type = mime_type_of(path);
	if (type.empty() || type.rfind("text/", 0) == 0
			|| type.rfind("inode/", 0) == 0)
		return true;
	fprintf(stderr, _("%s: %s: not a text file (%s), passed over\n"),
			kProgramName, shown(path).c_str(), shown(type).c_str());
	return false;
}


// The folder of the entry added before, as given and as the kits know it: a
// selection's entries mostly share one, and resolving it anew costs a look
// at each part of its path.
struct known_folder {
	std::string given;
	dev_t device = 0;
	ino_t directory = 0;
};


// The reference for path, through the folder known when path's is that one.
status_t
ref_for(const std::string& path, entry_ref* ref, known_folder& known)
{
	size_t slash = path.rfind('/');
	std::string folder = slash == std::string::npos ? std::string(".")
			: slash == 0                            ? std::string("/")
													: path.substr(0, slash);
	std::string leaf
			= slash == std::string::npos ? path : path.substr(slash + 1);
	// A leaf that names a folder relative to another is resolved whole.
	bool plain = !leaf.empty() && leaf != "." && leaf != "..";
	if (plain && known.given == folder) {
		ref->device = known.device;
		ref->directory = known.directory;
		return ref->set_name(leaf.c_str());
	}
	status_t status = get_ref_for_path(path.c_str(), ref);
	if (status == B_OK && plain) {
		known.given = folder;
		known.device = ref->device;
		known.directory = ref->directory;
	}
	return status;
}


// Adds the entry that argument names to the selection; one that cannot be
// handed over is reported with one line on standard error and passed over,
// and false returned. With textOnly, one that is no text is passed over,
// and handed to the add-on apart so that it names it.
bool
add_entry(BMessage& refs, const char* argument, bool textOnly,
		known_folder& known)
{
	std::string path;
	if (!path_of(argument, &path)) {
		fprintf(stderr, _("%s: %s: not a local file, passed over\n"),
				kProgramName, shown(argument).c_str());
		return false;
	}

	// The entry itself, not what a link points to.
	struct stat entryStat;
	if (lstat(path.c_str(), &entryStat) != 0) {
		fprintf(stderr, _("%s: %s: %s, passed over\n"), kProgramName,
				shown(path).c_str(), strerror(errno));
		return false;
	}

	bool text = !textOnly || is_text(path);

	entry_ref ref;
	status_t status = ref_for(path, &ref, known);
	if (status == B_OK)
		status = refs.AddRef(text ? "refs" : B_NOT_TEXT_REFS, &ref);
	if (status != B_OK) {
		fprintf(stderr, _("%s: %s: %s, passed over\n"), kProgramName,
				shown(path).c_str(), describe_status(status));
		return false;
	}
	return true;
}


// Finds the image that the argument names. With a slash it is a path, as
// given; without one it is the name of an installed add-on, found in the
// user's add-on folder first and then in the system's. The current folder
// is never searched, because the file managers start the host in the
// folder they show: a file there must not be taken for an add-on. A name
// that is found nowhere is reported with one line on standard error.
bool
find_image(const char* argument, std::string* image)
{
	if (strchr(argument, '/') != NULL) {
		*image = argument;
		return true;
	}

	std::vector<std::string> folders;
	for (directory_which which :
			{B_USER_ADDONS_DIRECTORY, B_SYSTEM_ADDONS_DIRECTORY}) {
		BPath folder;
		if (find_directory(which, &folder) == B_OK)
			folders.push_back(
					std::string(folder.Path()) + "/" + kTrackerAddOns);
	}

	for (const std::string& folder : folders) {
		std::string candidate = folder + "/" + argument;
		struct stat candidateStat;
		if (stat(candidate.c_str(), &candidateStat) == 0
				&& !S_ISDIR(candidateStat.st_mode)) {
			*image = candidate;
			return true;
		}
	}

	std::string searched;
	for (const std::string& folder : folders)
		searched += (searched.empty() ? "" : _(" or ")) + folder;
	fprintf(stderr, _("%s: no add-on named '%s' in %s\n"), kProgramName,
			argument,
			searched.empty() ? _("any add-on folder") : searched.c_str());
	return false;
}


// Grows the process's table of descriptors to room for limit of them, or
// for what a batch holds where the limit allows more. The kernel grows the
// table by doubling as descriptors are opened, and once a second thread
// shares it each doubling waits for every processor to pass a quiescent
// state (an RCU grace period, 10 to 30 ms on a virtual machine): a batch of
// thousands of files waited eight times for that. Grown here, while the
// host has one thread, it waits for nothing.
void
grow_descriptor_table(rlim_t limit)
{
	rlim_t wanted = limit < kBatchDescriptors ? limit : kBatchDescriptors;
	if (wanted == 0)
		return;
	int anchor = open("/", O_PATH | O_CLOEXEC);
	if (anchor < 0)
		return;
	// The lowest free descriptor from the last wanted on: one taken
	// already is left as it is.
	int last = fcntl(anchor, F_DUPFD_CLOEXEC, static_cast<int>(wanted - 1));
	if (last >= 0)
		close(last);
	close(anchor);
}


// Loads the image and finds its entry point; a failure is reported with
// one line on standard error.
void*
load_add_on(const char* image, process_refs_hook* hook)
{
	// A path with a slash, so that dlopen() takes it as it is and does not
	// search the library path.
	void* handle = dlopen(image, RTLD_NOW | RTLD_LOCAL);
	if (handle == NULL) {
		fprintf(stderr, _("%s: cannot load the add-on image: %s\n"),
				kProgramName, dlerror());
		return NULL;
	}

	*hook = reinterpret_cast<process_refs_hook>(dlsym(handle, "process_refs"));
	if (*hook == NULL) {
		fprintf(stderr, _("%s: %s: not an add-on: no process_refs in it\n"),
				kProgramName, shown(image).c_str());
		dlclose(handle);
		return NULL;
	}
	return handle;
}


void*
add_on_thread(void* data)
{
	AddOnCall* call = static_cast<AddOnCall*>(data);
	call->hook(call->directory, call->refs, NULL);

	// The selection is done: the file manager's part ends here.
	be_app->PostMessage(B_QUIT_REQUESTED);
	return NULL;
}

} // namespace


int
main(int argc, char** argv)
{
	// As a file manager does: the host and the add-on speak the person's
	// language.
	setlocale(LC_MESSAGES, "");
	// A batch keeps the files it waits on open, in windows as large as the
	// limit allows: as many as the hard limit gives, since nothing here
	// waits with select(), which would not take the higher ones.
	struct rlimit descriptors;
	if (getrlimit(RLIMIT_NOFILE, &descriptors) == 0) {
		rlim_t given = descriptors.rlim_cur;
		descriptors.rlim_cur = descriptors.rlim_max;
		if (given < descriptors.rlim_max
				&& setrlimit(RLIMIT_NOFILE, &descriptors) != 0)
			descriptors.rlim_cur = given;
		grow_descriptor_table(descriptors.rlim_cur);
	}
	bind_text_domain();
	int first = 1;
	if (argc > 1
			&& (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
		fputs(_(kUsage), stderr);
		return kExitDone;
	}
	bool textOnly = false;
	if (first < argc && strcmp(argv[first], "--text-only") == 0) {
		textOnly = true;
		first++;
	}
	bool endOfOptions = first < argc && strcmp(argv[first], "--") == 0;
	if (endOfOptions)
		first++;
	if (first >= argc) {
		fputs(_(kUsage), stderr);
		return kExitFailure;
	}
	if (!endOfOptions && argv[first][0] == '-') {
		fprintf(stderr, _("%s: unknown option %s (try --help)\n"), kProgramName,
				shown(argv[first]).c_str());
		return kExitFailure;
	}

	BApplication application(kSignature);
	if (application.InitCheck() != B_OK) {
		fprintf(stderr, _("%s: cannot create the application object\n"),
				kProgramName);
		return kExitFailure;
	}

	// Every problem is reported before the image is loaded, since loading
	// runs the image's own code. Only an image that cannot be used stops
	// the selection; an entry that cannot be handed over is passed over.
	bool usable = true;
	std::string image;
	struct stat imageStat;
	if (!find_image(argv[first], &image))
		usable = false;
	else if (stat(image.c_str(), &imageStat) != 0) {
		fprintf(stderr, "%s: %s: %s\n", kProgramName, shown(image).c_str(),
				strerror(errno));
		usable = false;
	}

	// Options end at a "--" after the image as well: a file named "--"
	// follows it.
	int paths = first + 1;
	if (paths < argc && strcmp(argv[paths], "--") == 0)
		paths++;
	BMessage refs(B_REFS_RECEIVED);
	bool leftAlone = false;
	known_folder known;
	for (int i = paths; i < argc; i++) {
		if (!add_entry(refs, argv[i], textOnly, known))
			leftAlone = true;
	}

	// The folder plays no part in what an add-on does; one that cannot be
	// named leaves the reference empty.
	AddOnCall call;
	status_t status = get_ref_for_path(".", &call.directory);
	if (status != B_OK) {
		fprintf(stderr, _("%s: the current folder: %s\n"), kProgramName,
				describe_status(status));
	}
	if (!usable)
		return kExitFailure;

	void* handle = load_add_on(image.c_str(), &call.hook);
	if (handle == NULL)
		return kExitFailure;
	call.refs = &refs;

	BPrivate::reset_add_on_status();
	pthread_t thread;
	int error = pthread_create(&thread, NULL, &add_on_thread, &call);
	if (error != 0) {
		fprintf(stderr, _("%s: cannot start the add-on's thread: %s\n"),
				kProgramName, strerror(error));
		dlclose(handle);
		return kExitFailure;
	}

	application.Run();
	pthread_join(thread, NULL);
	status_t addOnStatus = BPrivate::add_on_status();

	dlclose(handle);
	return leftAlone || addOnStatus != B_OK ? kExitLeftAlone : kExitDone;
}
