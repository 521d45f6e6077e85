/*
 * The walk of a tree: what it hands on and what it passes over, counted;
 * folders it may not read; trees deep and long-named beyond what a path can
 * hold, with few descriptors; a tree that changes under it; a stop; mounts.
 */
#include "support/files.h"

#include "walk/passed.h"
#include "walk/tree.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <string>
#include <utility>
#include <vector>

using test::Folder;


namespace {

// What a walk met, as paths below its root.
struct Walked {
	int result = -1;
	walk_counts counts;
	std::vector<std::string> files;
	std::vector<std::pair<std::string, walk_passed>> passed;
	std::vector<int> errors; // of the folders that cannot be read
	std::vector<std::string> done;
};


Walked
walk(const std::string& root, int stopAfter = -1)
{
	Walked walked;
	walk_hooks hooks;
	hooks.file = [&](const walk_entry& file) {
		walked.files.push_back(file.path + file.relative);
		return (int)walked.files.size() == stopAfter ? kWalkStop : kWalkOn;
	};
	hooks.passed = [&](const walk_entry& entry, walk_passed kind) {
		walked.passed.push_back({entry.path + entry.relative, kind});
		if (kind == kPassedUnreadable)
			walked.errors.push_back(entry.error);
		return kWalkOn;
	};
	hooks.folderDone = [&](const walk_entry& folder) {
		walked.done.push_back(folder.path + folder.relative);
		return kWalkOn;
	};
	walked.result = walk_tree(root.c_str(), hooks, walked.counts);
	return walked;
}


std::vector<uint64_t>
passed_counts(const walk_counts& counts)
{
	return std::vector<uint64_t>(counts.passed, counts.passed + kPassedKinds);
}


// A folder below at, by descriptor: paths longer than the host takes.
int
make_folder(int at, const std::string& name)
{
	if (mkdirat(at, name.c_str(), 0755) != 0)
		return -1;
	return openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}


void
remove_tree(const std::string& path)
{
	// rm goes as deep as any tree.
	test::run_program({"/usr/bin/rm", "-rf", path});
}

} // namespace


TEST(NameRules, WhatTheWalkPassesOverByName)
{
	struct Case {
		const char* name;
		bool isFolder;
		walk_passed expected;
	};
	const Case cases[] = {
			{"Brief.txt", false, kPassedKinds},
			{".profile", false, kPassedHidden},
			{".config", true, kPassedHidden},
			{".git", true, kPassedVersionControl},
			{".git", false, kPassedHidden}, // a worktree's pointer file
			{".svn", true, kPassedVersionControl},
			{".hg", true, kPassedVersionControl},
			{"CVS", true, kPassedVersionControl},
			{"CVS", false, kPassedKinds},
			{"Brief.txt-BAK", false, kPassedBackup},
			{"Brief.txt-BAK7", false, kPassedBackup},
			{"Texte-BAK", true, kPassedBackup},
			{"Brief.txt-BAK0", false, kPassedKinds},
			{"Brief-BAKERY.txt", false, kPassedKinds},
			{"-BAK", false, kPassedKinds},
			{".Brief.txt.textwend", false, kPassedOwn},
			{".textwend-1a2b-0-3f", false, kPassedOwn},
	};
	for (const Case& c : cases) {
		EXPECT_EQ(passed_by_name(c.name, c.isFolder), c.expected)
				<< c.name << (c.isFolder ? " (folder)" : "");
	}
}


TEST(NameRules, TheSummarysWords)
{
	struct Case {
		walk_passed kind;
		uint64_t count;
		const char* expected;
	};
	const Case cases[] = {
			{kPassedBackup, 1, "1 backup"},
			{kPassedBackup, 2, "2 backups"},
			{kPassedUnreadable, 1234, "1,234 folders that cannot be read"},
			{kPassedOtherMount, 1, "1 folder on another file system"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(passed_counted(c.kind, c.count), c.expected);
}


class TreeWalk : public test::FolderTest { };


TEST_F(TreeWalk, EveryKindIsCountedAndOnlyTextsAreHandedOn)
{
	Folder outside;
	outside.add_file("fremd.txt", "not in the tree\n");
	const Folder& root = fScratch;
	std::string longName = std::string(251, 'l') + ".txt";
	root.add_file("Brief.txt",
			"Gr\x81\xE1"
			"e\r\n");
	root.add_file("leer.txt", "");
	root.add_file("Br\x81"
				  "cke.txt",
			"x");
	root.add_file(longName, "x");
	root.add_file("Brief.txt-BAK", "x");
	root.add_file("Brief.txt-BAK2", "x");
	root.add_file(".Brief.txt.textwend", "x");
	root.add_file(".hidden.txt", "x");
	root.add_folder(".config");
	root.add_file(".config/a.txt", "x");
	root.add_folder(".git");
	root.add_file(".git/HEAD", "ref: refs/heads/main\n");
	root.add_file(".git/notes.txt", "x");
	root.add_folder("sub");
	root.add_folder("sub/CVS");
	root.add_file("sub/CVS/Entries", "x");
	root.add_file("sub/Notiz.txt", "x");
	root.add_folder("sub/tief");
	root.add_file("sub/tief/x.txt", "x");
	root.add_link("nach-draussen", outside.path());
	root.add_link("verweis.txt", "Brief.txt");
	ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0644), 0);
	int sock = socket(AF_UNIX, SOCK_STREAM, 0);
	struct sockaddr_un address = {};
	address.sun_family = AF_UNIX;
	std::string socketPath = root / "s";
	ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
	strcpy(address.sun_path, socketPath.c_str());
	ASSERT_EQ(bind(sock, (struct sockaddr*)&address, sizeof(address)), 0);
	close(sock);

	Walked walked = walk(root.path());
	EXPECT_EQ(walked.result, 0);
	// In the order of their bytes, each folder's names where it stands.
	EXPECT_EQ(walked.files,
			(std::vector<std::string> {"Brief.txt",
					"Br\x81"
					"cke.txt",
					"leer.txt", longName, "sub/Notiz.txt", "sub/tief/x.txt"}));
	EXPECT_EQ(walked.counts.files, 6u);
	EXPECT_EQ(walked.counts.folders, 2u);
	std::vector<uint64_t> expected(kPassedKinds, 0);
	expected[kPassedHidden] = 2;         // .hidden.txt, .config
	expected[kPassedVersionControl] = 2; // .git, sub/CVS
	expected[kPassedBackup] = 2;
	expected[kPassedOwn] = 1;
	expected[kPassedLink] = 2;    // to a folder outside, to a file
	expected[kPassedSpecial] = 2; // a pipe, a socket
	EXPECT_EQ(passed_counts(walked.counts), expected);
	EXPECT_EQ(walked.done, (std::vector<std::string> {"sub/tief", "sub"}));

	// The first pass counts the same, and says how far it got.
	walk_counts counted;
	std::vector<uint64_t> found;
	EXPECT_EQ(count_tree(root.path().c_str(), counted,
					  [&](uint64_t n) {
						  found.push_back(n);
						  return kWalkOn;
					  }),
			0);
	EXPECT_EQ(counted.files, 6u);
	EXPECT_EQ(passed_counts(counted), expected);
	EXPECT_EQ(found, (std::vector<uint64_t> {1, 2, 3, 4, 5, 6}));
}


TEST_F(TreeWalk, WhatTheRootMayBe)
{
	fScratch.add_file("Brief.txt", "x");
	fScratch.add_folder("Ordner");
	fScratch.add_link("Verweis", fScratch / "Ordner");
	struct Case {
		std::string root;
		std::vector<int> errors;
	};
	const Case cases[] = {
			{fScratch / "fehlt", {ENOENT}},
			{fScratch / "Brief.txt", {ENOTDIR}},
			{fScratch / "Verweis", {ELOOP, ENOTDIR}},
			{fScratch / "Ordner/", {0}},
	};
	for (const Case& c : cases) {
		walk_counts counts;
		int result = walk_tree(c.root.c_str(), walk_hooks(), counts);
		EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), result),
				c.errors.end())
				<< c.root << ": " << strerror(result);
	}

	// Below "/" a path starts with one slash, not two.
	std::string first;
	walk_hooks hooks;
	hooks.file = [&](const walk_entry& file) {
		first = file.path;
		return kWalkStop;
	};
	walk_counts counts;
	EXPECT_EQ(walk_tree("/", hooks, counts), ECANCELED);
	EXPECT_EQ(first.substr(0, 1), "/");
	EXPECT_NE(first.substr(0, 2), "//");
}


TEST_F(TreeWalk, FoldersThatCannotBeReadOrEnteredAreNamedAndPassedOver)
{
	Folder tree(test::Reach::kChild, "unreadable");
	tree.add_folder("auf");
	tree.add_file("auf/b.txt", "x");
	tree.add_folder("zu");
	tree.add_file("zu/a.txt", "x");
	tree.add_folder("nur-lesen");
	tree.add_file("nur-lesen/c.txt", "x");
	chmod(tree.path().c_str(), 0755);
	chmod((tree / "zu").c_str(), 0);
	chmod((tree / "nur-lesen").c_str(), 0444);
	test::ChildOptions options;
	options.asNobody = true;

	// Written by the child, which may be another user, as lines.
	test::ChildResult run = test::run_child(
			[&] {
				Walked walked = walk(tree.path());
				for (const std::string& file : walked.files)
					printf("file %s\n", file.c_str());
				for (size_t i = 0; i < walked.errors.size(); i++)
					printf("unreadable %s %d\n", walked.passed[i].first.c_str(),
							walked.errors[i]);
				return walked.result;
			},
			options);
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.result, 0);
	EXPECT_EQ(run.output,
			"file auf/b.txt\n"
			"unreadable nur-lesen "
					+ std::to_string(EACCES)
					+ "\n"
					  "unreadable zu "
					+ std::to_string(EACCES) + "\n");

	// A root that may not be read is the walk's own failure.
	test::ChildResult closed = test::run_child(
			[&] {
				walk_counts counts;
				return walk_tree((tree / "zu").c_str(), walk_hooks(), counts);
			},
			options);
	EXPECT_EQ(closed.result, EACCES);
}


TEST_F(TreeWalk, DeepTreesAndLongNamesWithFewDescriptors)
{
	// A thousand levels, and 20 of names of 255 bytes: a path of more than
	// 5,000 bytes, past what the host takes as a path.
	struct Case {
		const char* name;
		int levels;
		std::string folder;
	};
	const Case cases[] = {
			{"a thousand levels", 1000, "d"},
			{"names of 255 bytes", 20, std::string(255, 'n')},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.name);
		std::string root = fScratch.add_folder(c.name);
		int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		for (int i = 0; i < c.levels && fd >= 0; i++) {
			int next = make_folder(fd, c.folder);
			close(fd);
			fd = next;
		}
		ASSERT_GE(fd, 0);
		int file
				= openat(fd, "unten.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
		ASSERT_GE(file, 0);
		close(file);
		close(fd);

		test::ChildResult run = test::run_child([&] {
			// Far fewer descriptors than levels.
			struct rlimit limit = {32, 32};
			setrlimit(RLIMIT_NOFILE, &limit);
			Walked walked = walk(root);
			bool deepestFirst = walked.done.size() == (size_t)c.levels
					&& walked.done.front().size() > walked.done.back().size()
					&& walked.done.back() == c.folder;
			printf("%d %d %zu %zu %d\n", walked.result,
					(int)walked.counts.files, walked.counts.folders,
					walked.files.empty() ? 0 : walked.files[0].size(),
					deepestFirst);
			return 0;
		});
		size_t pathLength = c.levels * (c.folder.size() + 1) + 9;
		EXPECT_EQ(run.output,
				"0 1 " + std::to_string(c.levels) + " "
						+ std::to_string(pathLength) + " 1\n")
				<< run.errors;
		remove_tree(root);
	}
}


TEST_F(TreeWalk, ATreeChangingUnderTheWalkNeverFailsItNorBringsANameTwice)
{
	const Folder& root = fScratch;
	for (const char* folder : {"a", "b", "c"}) {
		root.add_folder(folder);
		for (int i = 1; i <= 4; i++)
			root.add_file(
					std::string(folder) + "/" + std::to_string(i) + ".txt",
					"x");
	}

	Walked walked;
	walk_hooks hooks;
	hooks.file = [&](const walk_entry& file) {
		std::string relative = file.path + file.relative;
		walked.files.push_back(relative);
		std::string name = file.name;
		// What a conversion does beside the file: a backup, a hidden
		// name of its own, and a trade of names.
		linkat(file.folder, name.c_str(), file.folder, (name + "-BAK").c_str(),
				0);
		int made = openat(file.folder, ("." + name + ".textwend").c_str(),
				O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
		close(made);
		renameat2(file.folder, ("." + name + ".textwend").c_str(), file.folder,
				name.c_str(), RENAME_EXCHANGE);
		if (relative == "a/1.txt") {
			// Others at work: files and folders added, renamed, removed.
			root.add_file("a/0-neu.txt", "x");
			root.add_file("a/9-neu.txt", "x");
			rename((root / "a/3.txt").c_str(), (root / "a/33.txt").c_str());
			rename((root / "b/4.txt").c_str(), (root / "a/44.txt").c_str());
			remove_tree(root / "c");
			root.add_folder("b2");
			root.add_file("b2/x.txt", "x");
		}
		return kWalkOn;
	};
	EXPECT_EQ(walk_tree(root.path().c_str(), hooks, walked.counts), 0);
	EXPECT_EQ(walked.files,
			(std::vector<std::string> {"a/1.txt", "a/2.txt", "a/4.txt",
					"b/1.txt", "b/2.txt", "b/3.txt"}));
}


TEST_F(TreeWalk, AHookStopsTheWalkAtOnce)
{
	for (const char* folder : {"a", "b"}) {
		fScratch.add_folder(folder);
		for (int i = 1; i <= 3; i++)
			fScratch.add_file(
					std::string(folder) + "/" + std::to_string(i) + ".txt",
					"x");
	}
	Walked walked = walk(fScratch.path(), 4);
	EXPECT_EQ(walked.result, ECANCELED);
	EXPECT_EQ(walked.files,
			(std::vector<std::string> {
					"a/1.txt", "a/2.txt", "a/3.txt", "b/1.txt"}));
	// The folder it stopped in is not done.
	EXPECT_EQ(walked.done, (std::vector<std::string> {"a"}));

	walk_counts counts;
	EXPECT_EQ(count_tree(fScratch.path().c_str(), counts,
					  [](uint64_t n) { return n == 2 ? kWalkStop : kWalkOn; }),
			ECANCELED);
	EXPECT_EQ(counts.files, 2u);
}


TEST_F(TreeWalk, MountsInsideTheTreeAreNotEnteredNorALoopOfThem)
{
	if (getuid() != 0)
		GTEST_SKIP() << "mounting needs root";
	const Folder& root = fScratch;
	root.add_file("Brief.txt", "x");
	std::string tmpfs = root.add_folder("tmpfs");
	std::string loop = root.add_folder("schleife");
	ASSERT_EQ(mount("textwend", tmpfs.c_str(), "tmpfs", 0, NULL), 0)
			<< strerror(errno);
	test::write_file(tmpfs + "/fremd.txt", "x");
	// The tree mounted inside itself: entered, it never ends.
	ASSERT_EQ(mount(root.path().c_str(), loop.c_str(), NULL, MS_BIND, NULL), 0)
			<< strerror(errno);

	Walked walked = walk(root.path());
	umount2(loop.c_str(), MNT_DETACH);
	umount2(tmpfs.c_str(), MNT_DETACH);
	EXPECT_EQ(walked.result, 0);
	EXPECT_EQ(walked.files, (std::vector<std::string> {"Brief.txt"}));
	EXPECT_EQ(walked.passed,
			(std::vector<std::pair<std::string, walk_passed>> {
					{"schleife", kPassedOtherMount},
					{"tmpfs", kPassedOtherMount}}));
}
