// Stop in the status window of a tree, on an X server of the test's own: a
// run through the host ends after the file at hand, says so in its alert,
// and what it converted so far is undone with the rest of the tree.
#include "support/files.h"
#include "support/tree.h"
#include "watchdog.h"
#include "xvfb_test.h"

#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

const std::string kHost = TEXTWEND_HOST;
const std::string kImages = TEXTWEND_IMAGE_DIR;
const int kWaitMilliseconds = 30000;


TEST_F(XvfbTest, StopEndsATreeRunAfterTheFileAtHand)
{
	Watchdog watchdog(180, "a run over a tree stopped from its window");
	test::Folder place("stop");
	std::string tree = place.add_folder("Baum");
	const int kFolders = 40;
	const int kLetters = 100;
	for (int f = 0; f < kFolders; f++) {
		std::string folder = tree + "/Ordner " + std::to_string(f);
		mkdir(folder.c_str(), 0755);
		for (int n = 0; n < kLetters; n++)
			test::write_file(folder + "/Brief " + std::to_string(n) + ".txt",
					"Gr\x81\xE1"
					"e aus K\x94ln\r\n");
	}
	test::TreeShot original = test::tree_shot(tree);

	test::Program host;
	test::ChildOptions options;
	options.folder = place.path();
	options.keepDisplay = true;
	ASSERT_TRUE(
			host.Start({kHost, kImages + "/Textwend-Folder", tree}, options));
	Window window = wait_for_window(fDisplay, "TXW-Addon", kWaitMilliseconds);
	ASSERT_NE(window, None);
	ASSERT_TRUE(wait_until([&] { return focused_window(fDisplay) == window; },
			kWaitMilliseconds));
	ASSERT_TRUE(wait_until(
			[&] { return test::backups_below(tree) > 0; }, kWaitMilliseconds));
	press_key(fDisplay, XK_Escape);

	// The summary waits for its answer.
	Window alert
			= wait_for_window(fDisplay, "Textwend-AddOn", kWaitMilliseconds);
	ASSERT_NE(alert, None);
	ASSERT_TRUE(wait_until([&] { return focused_window(fDisplay) == alert; },
			kWaitMilliseconds));
	write_png(screenshot_path("tree-alert.png"), capture(fDisplay, alert));
	press_key(fDisplay, XK_Return);
	test::ChildResult run = host.Finish();

	EXPECT_EQ(run.status, 1) << "stopped before the end";
	size_t converted = 0;
	for (size_t at = 0; (at = run.errors.find("; original kept as ", at))
			!= std::string::npos;
			at++)
		converted++;
	EXPECT_GT(converted, 0u);
	EXPECT_LT(converted, size_t(kFolders * kLetters));
	// Each file converted is on the disk with its backup, and no other.
	EXPECT_EQ(test::backups_below(tree), int(converted));

	test::ChildOptions quiet;
	quiet.folder = place.path();
	test::ChildResult undo = test::run_program(
			{kHost, kImages + "/Textwend-Folder-Undo", tree}, quiet);
	EXPECT_EQ(undo.status, 0) << undo.errors.substr(0, 2000);
	EXPECT_EQ(test::tree_shot(tree), original);
}

} // namespace
