/*
 * An image with both faces that records how it was called, one line per
 * fact, fields separated by tabs: loaded by the host (process_refs) or
 * started as a program (main).
 */
#include <Application.h>
#include <Entry.h>
#include <Message.h>
#include <OS.h>
#include <Path.h>
#include <TrackerAddOn.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>


namespace {

int sConstructed = 0;

// Shows that the image's static constructors ran, once, and its static
// destructors at the end.
struct Witness {
	Witness() { sConstructed++; }
	~Witness() { printf("unloaded\n"); }
} sWitness;


void
print_ref(const char* label, const entry_ref& ref)
{
	// As an add-on finds the path: through the entry, links not followed.
	BEntry entry(&ref);
	BPath path;
	const char* shown = entry.GetPath(&path) == B_OK ? path.Path() : "?";
	printf("%s\t%llu\t%llu\t%s\t%s\n", label,
			static_cast<unsigned long long>(ref.device),
			static_cast<unsigned long long>(ref.directory),
			ref.name != NULL ? ref.name : "?", shown);
}


// The room the kernel's table of descriptors has now: "FDSize" of the
// process's status.
std::string
descriptor_room()
{
	FILE* status = fopen("/proc/self/status", "r");
	if (status == NULL)
		return "?";
	char line[256];
	std::string room = "?";
	while (fgets(line, sizeof(line), status) != NULL) {
		unsigned long size;
		if (sscanf(line, "FDSize: %lu", &size) == 1)
			room = std::to_string(size);
	}
	fclose(status);
	return room;
}

} // namespace


void
process_refs(entry_ref directory, BMessage* refs, void* reserved)
{
	printf("process_refs\n");
	printf("constructors\t%d\n", sConstructed);
	printf("thread\t%s\n", find_thread(NULL) == getpid() ? "main" : "own");
	printf("be_app\t%s\n", be_app != NULL ? "set" : "none");
	printf("reserved\t%s\n", reserved == NULL ? "null" : "set");
	printf("descriptors\t%s\n", descriptor_room().c_str());
	print_ref("dir", directory);
	if (refs == NULL) {
		printf("message\tnull\n");
		return;
	}

	printf("what\t%08x\n", static_cast<unsigned>(refs->what));
	entry_ref ref;
	int32 index = 0;
	for (; refs->FindRef("refs", index, &ref) == B_OK; index++)
		print_ref(("ref " + std::to_string(index)).c_str(), ref);
	printf("count\t%d\n", static_cast<int>(index));
}


int
main(int argc, char** argv)
{
	printf("main\n");
	printf("constructors\t%d\n", sConstructed);
	printf("argc\t%d\n", argc);
	for (int i = 1; i < argc; i++)
		printf("argv\t%d\t%s\n", i, argv[i]);

	// The application face: a quit request posted before the loop runs
	// ends it as soon as it runs.
	BApplication application("application/x-vnd.textwend-test-image");
	application.PostMessage(B_QUIT_REQUESTED);
	application.Run();
	printf("run\treturned\n");

	// The first argument, if any, is the exit status.
	return argc > 1 ? atoi(argv[1]) : 0;
}
