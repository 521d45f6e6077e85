/*
 * tracker-run: plays the file manager for an add-on image. It hands the
 * image the given entries as the selection, the way the file manager does
 * when the user invokes an add-on: as entry references under "refs", from
 * a thread of its own, while its application object exists.
 *
 * Standard output belongs to the add-on; the host's own words go to
 * standard error.
 */
#include <Application.h>
#include <Entry.h>
#include <Message.h>
#include <TrackerAddOn.h>

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>


namespace {

const char kProgramName[] = "tracker-run";
const char kSignature[] = "application/x-vnd.textwend-tracker-run";

enum { kExitDone = 0, kExitFailure = 2 };

typedef void (*process_refs_hook)(entry_ref, BMessage*, void*);


// What the add-on's thread needs.
struct AddOnCall {
	process_refs_hook hook;
	entry_ref directory;
	BMessage* refs;
};


const char kUsage[]
		= "usage: tracker-run IMAGE [PATH...]\n"
		  "Loads the add-on IMAGE and calls its process_refs with the PATHs\n"
		  "as the selection, as the file manager does. Relative PATHs are\n"
		  "taken from the current folder; a link is passed as the link.\n"
		  "Exits 0 once the add-on has returned, 2 when the arguments, a\n"
		  "PATH or IMAGE cannot be used; the add-on is then not called.\n";


const char*
describe_status(status_t status)
{
	switch (status) {
	case B_NO_MEMORY:
		return "out of memory";
	case B_PERMISSION_DENIED:
		return "permission denied";
	case B_ENTRY_NOT_FOUND:
		return "no such file or directory";
	case B_NOT_A_DIRECTORY:
		return "a part of the path is not a folder";
	case B_NAME_TOO_LONG:
		return "name too long";
	case B_LINK_LIMIT:
		return "too many levels of symbolic links";
	default:
		return "cannot be turned into an entry reference";
	}
}


// Adds path to the selection; a path that does not name an entry is
// refused with one line on standard error.
bool
add_entry(BMessage& refs, const char* path)
{
	// The entry itself, not what a link points to.
	struct stat entryStat;
	if (lstat(path, &entryStat) != 0) {
		fprintf(stderr, "%s: %s: %s\n", kProgramName, path, strerror(errno));
		return false;
	}

	entry_ref ref;
	status_t status = get_ref_for_path(path, &ref);
	if (status == B_OK)
		status = refs.AddRef("refs", &ref);
	if (status != B_OK) {
		fprintf(stderr, "%s: %s: %s\n", kProgramName, path,
				describe_status(status));
		return false;
	}
	return true;
}


// Loads the image and finds its entry point; a failure is reported with
// one line on standard error.
void*
load_add_on(const char* image, process_refs_hook* hook)
{
	// Without a slash, dlopen() would search the library path rather than
	// the current folder.
	std::string path(image);
	if (path.find('/') == std::string::npos)
		path = "./" + path;

	void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
	if (handle == NULL) {
		fprintf(stderr, "%s: cannot load the add-on image: %s\n", kProgramName,
				dlerror());
		return NULL;
	}

	*hook = reinterpret_cast<process_refs_hook>(dlsym(handle, "process_refs"));
	if (*hook == NULL) {
		fprintf(stderr, "%s: %s: not an add-on: no process_refs in it\n",
				kProgramName, image);
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
	int first = 1;
	if (argc > 1
			&& (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
		fputs(kUsage, stderr);
		return kExitDone;
	}
	if (argc > 1 && strcmp(argv[1], "--") == 0)
		first = 2;
	if (first >= argc) {
		fputs(kUsage, stderr);
		return kExitFailure;
	}
	if (first == 1 && argv[1][0] == '-') {
		fprintf(stderr, "%s: unknown option %s (try --help)\n", kProgramName,
				argv[1]);
		return kExitFailure;
	}
	const char* image = argv[first];

	BApplication application(kSignature);
	if (application.InitCheck() != B_OK) {
		fprintf(stderr, "%s: cannot create the application object\n",
				kProgramName);
		return kExitFailure;
	}

	// Every problem is reported before the image is loaded, since loading
	// runs the image's own code: nothing of the add-on runs, and nothing of
	// the selection is converted, unless all of it can be handed over.
	bool usable = true;
	struct stat imageStat;
	if (stat(image, &imageStat) != 0) {
		fprintf(stderr, "%s: %s: %s\n", kProgramName, image, strerror(errno));
		usable = false;
	}

	BMessage refs(B_REFS_RECEIVED);
	for (int i = first + 1; i < argc; i++) {
		if (!add_entry(refs, argv[i]))
			usable = false;
	}

	AddOnCall call;
	status_t status = get_ref_for_path(".", &call.directory);
	if (status != B_OK) {
		fprintf(stderr, "%s: the current folder: %s\n", kProgramName,
				describe_status(status));
		usable = false;
	}
	if (!usable)
		return kExitFailure;

	void* handle = load_add_on(image, &call.hook);
	if (handle == NULL)
		return kExitFailure;
	call.refs = &refs;

	pthread_t thread;
	int error = pthread_create(&thread, NULL, &add_on_thread, &call);
	if (error != 0) {
		fprintf(stderr, "%s: cannot start the add-on's thread: %s\n",
				kProgramName, strerror(error));
		dlclose(handle);
		return kExitFailure;
	}

	application.Run();
	pthread_join(thread, NULL);

	dlclose(handle);
	return kExitDone;
}
