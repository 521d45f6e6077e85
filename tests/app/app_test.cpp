/*
 * Application mode: the two alerts and their bounded texts, the application
 * object, and the program image started on its own, without a display (its
 * text on standard error) and on an X server (answered from the keyboard).
 */
#include <gtest/gtest.h>

#include "support/files.h"
#include "watchdog.h"
#include "x_server.h"
#include "xvfb_test.h"

#include "app/alerts.h"
#include "app/sysApplication.h"

#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <X11/keysym.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>


namespace {

// The home folder, as the program finds it.
std::string
home()
{
	const char* home = getenv("HOME");
	if (home != NULL && home[0] != '\0')
		return home;
	struct passwd* user = getpwuid(getuid());
	return user != NULL ? user->pw_dir : "~";
}


// The information names the user's add-on folder, which the host searches,
// for a program that does not lie in an add-on folder yet.
const std::string kInformation
		= "Textwend-AddOn V0.80 \t converts Alien-Text   :)\n"
		  "It's a Tracker Add-On,  so move it to:\n\t"
		+ home() + "/config/add-ons/Tracker";

const std::string kInformationAlert
		= "alert \"Outsch\":\n" + kInformation + "\n[ Outch ]\n";

const int kWaitMilliseconds = 10000;


using test::exists;
using test::read_file;

} // namespace


TEST(AlertsTest, ShowTheirTitleTextAndButtonWithTheTextCutToTheirBuffer)
{
	typedef int32 (*AlertFunction)(const char*);
	struct Function {
		const char* name;
		AlertFunction function;
		const char* title;
		const char* button;
		size_t bufferSize;
	};
	const Function functions[] = {
			{"AlertInf2", AlertInf2, "--", " OK ", 512},
			{"AlertMess", AlertMess, "Outsch", " Outch ", 2048},
	};
	for (const Function& f : functions) {
		size_t longest = f.bufferSize - 1;
		struct Case {
			const char* name;
			std::string text;
			std::string shown;
		};
		const Case cases[] = {
				{"the add-on's notice", "Textwend-AddOn\n\tNo files selected..",
						"Textwend-AddOn\n\tNo files selected.."},
				{"as long as fits", std::string(longest, 'x'),
						std::string(longest, 'x')},
				{"longer", std::string(longest, 'x') + "cut off",
						std::string(longest, 'x')},
				{"a character on the edge", std::string(longest - 1, 'x') + "ü",
						std::string(longest - 1, 'x')},
				{"empty", "", ""},
		};
		for (const Case& c : cases) {
			SCOPED_TRACE(std::string(f.name) + ", " + c.name);
			test::ChildResult run = test::run_child(
					[&] { return f.function(c.text.c_str()); });
			EXPECT_FALSE(run.timedOut);
			EXPECT_EQ(run.status, 0);
			EXPECT_EQ(run.result, 0);
			EXPECT_EQ(run.output, "");
			EXPECT_EQ(run.errors,
					std::string("alert \"") + f.title + "\":\n" + c.shown
							+ "\n[" + f.button + "]\n");
		}
	}
}


TEST(ApplicationTest, ShowsTheInformationAndPostsTheQuitRequestBeforeRun)
{
	test::ChildResult run = test::run_child([] {
		sysApplication application;
		bool ready = be_app == &application
				&& strcmp(application.Signature(),
						   "application/x-tracker-add-on")
						== 0
				&& application.IsMessageWaiting();
		// Returns at once: the quit request is already waiting.
		application.Run();
		return ready ? 1 : 0;
	});
	EXPECT_FALSE(run.timedOut);
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.result, 1);
	EXPECT_EQ(run.output, "");
	EXPECT_EQ(run.errors, kInformationAlert);
}


TEST(ImageTest, WithoutDisplayOrTerminalItSaysHowToInstallAndExits0)
{
	struct Case {
		const char* name;
		const char* display;
		std::string err;
	};
	const Case cases[] = {
			{"no DISPLAY", NULL, kInformationAlert},
			{"a DISPLAY that does not answer", ":4095",
					"BWindow: cannot open the display \":4095\"; windows are "
					"written "
					"to standard error\n"
							+ kInformationAlert},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.name);
		test::ChildOptions options;
		options.seconds = 10;
		if (c.display != NULL) {
			setenv("DISPLAY", c.display, 1);
			options.keepDisplay = true;
		}
		test::Program program;
		bool started = program.Start({TEXTWEND_IMAGE}, options);
		unsetenv("DISPLAY");
		ASSERT_TRUE(started);
		test::ChildResult run = program.Finish();
		EXPECT_FALSE(run.timedOut);
		EXPECT_EQ(run.status, 0);
		EXPECT_EQ(run.output, "");
		EXPECT_EQ(run.errors, c.err);
	}
}


// Given files or options, the program converts nothing, says how files
// are converted, and fails.
TEST(ImageTest, WithArgumentsItSaysHowFilesAreConvertedAndExits2)
{
	test::Folder scratch("app");
	std::string letter = scratch / "Brief.txt";
	const std::string dosText = "Gr\x81\xe1"
								"e aus \x99sterreich!\r\n";
	const std::vector<std::string> cases[] = {{letter}, {"--help"}};
	for (const std::vector<std::string>& arguments : cases) {
		SCOPED_TRACE(arguments[0]);
		{
			std::ofstream out(letter, std::ios::binary | std::ios::trunc);
			out << dosText;
		}
		std::vector<std::string> command = {TEXTWEND_IMAGE};
		command.insert(command.end(), arguments.begin(), arguments.end());
		test::Program program;
		ASSERT_TRUE(program.Start(command, test::ChildOptions()));
		test::ChildResult run = program.Finish();
		EXPECT_EQ(run.status, 2);
		EXPECT_EQ(run.output, "");
		EXPECT_NE(run.errors.find("\ttracker-run Textwend FILE...\n"),
				std::string::npos)
				<< run.errors;
		EXPECT_EQ(read_file(letter), dosText);
		EXPECT_FALSE(exists(letter + "-BAK"));
	}
}


TEST_F(XvfbTest, ImageShowsItsAlertAndExits0OnceAnswered)
{
	test::Program program;
	test::ChildOptions options;
	options.keepDisplay = true;
	options.seconds = 30;
	ASSERT_TRUE(program.Start({TEXTWEND_IMAGE}, options));

	Window alert = wait_for_window(fDisplay, "Outsch", kWaitMilliseconds);
	ASSERT_NE(alert, None);
	ASSERT_TRUE(wait_until([&] { return focused_window(fDisplay) == alert; },
			kWaitMilliseconds));
	// Drawn before it is mapped; a moment for the copy to reach the screen.
	std::this_thread::sleep_for(std::chrono::milliseconds(200));
	EXPECT_TRUE(write_png(screenshot_path("information-alert.png"),
			capture(fDisplay, alert)));

	press_key(fDisplay, XK_Return);
	test::ChildResult run = program.Finish();
	EXPECT_FALSE(run.timedOut);
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.output, "");
	EXPECT_FALSE(window_shown(fDisplay, "Outsch"));
}


// Runs the host with image on path under the test's display, takes a
// picture of the alert that ends the batch, and answers it.
test::ChildResult
batch_alert(Display* display, const char* image, const std::string& path,
		const char* picture)
{
	test::Program program;
	test::ChildOptions options;
	options.keepDisplay = true;
	options.seconds = 30;
	if (!program.Start({TEXTWEND_HOST, image, path}, options))
		return test::ChildResult();
	Window alert
			= wait_for_window(display, "Textwend-AddOn", kWaitMilliseconds);
	EXPECT_NE(alert, None);
	if (alert != None) {
		EXPECT_TRUE(wait_until([&] { return focused_window(display) == alert; },
				kWaitMilliseconds));
		std::this_thread::sleep_for(std::chrono::milliseconds(200));
		EXPECT_TRUE(
				write_png(screenshot_path(picture), capture(display, alert)));
		press_key(display, XK_Return);
	}
	return program.Finish();
}


// A batch that passed an entry over ends on an alert that lists it; the
// host goes on once the alert is answered.
TEST_F(XvfbTest, TheBatchAlertListsWhatWasNotConverted)
{
	test::Folder scratch("app");
	std::string folder = scratch / "Bilder";
	mkdir(folder.c_str(), 0755);

	test::ChildResult run
			= batch_alert(fDisplay, TEXTWEND_IMAGE, folder, "batch-alert.png");
	EXPECT_FALSE(run.timedOut);
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("Textwend: Bilder: a folder, passed over\n"),
			std::string::npos)
			<< run.errors;
	rmdir(folder.c_str());
}


// A conversion with doubt also ends on an alert, which names the set taken
// and the next best.
TEST_F(XvfbTest, TheBatchAlertNamesAConversionWithDoubt)
{
	test::Folder scratch("app");
	std::string letter = scratch / "Notiz.txt";
	std::ofstream(letter, std::ios::binary) << "Note: \xC4\r\n";

	test::ChildResult run
			= batch_alert(fDisplay, TEXTWEND_IMAGE, letter, "doubt-alert.png");
	EXPECT_FALSE(run.timedOut);
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("; doubtful: check it, and undo if it reads "
							  "wrong\n"),
			std::string::npos)
			<< run.errors;
	unlink(letter.c_str());
	unlink((letter + "-BAK").c_str());
}


// Undo leaves a file that was never converted as it is, and its alert says
// why.
TEST_F(XvfbTest, TheUndoAlertSaysWhyAFileWasLeftAsItWas)
{
	test::Folder scratch("app");
	std::string letter = scratch / "Brief.txt";
	std::ofstream(letter, std::ios::binary) << "Gr\xFC\xDF"
											   "e\n";

	test::ChildResult run = batch_alert(
			fDisplay, TEXTWEND_UNDO_IMAGE, letter, "undo-alert.png");
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.errors.find("Textwend: Brief.txt: left as it was: it carries "
							  "no stamp of a conversion\n"),
			std::string::npos)
			<< run.errors;
	unlink(letter.c_str());
}


TEST_F(XvfbTest, AlertInf2AnsweredByEnterReturns0)
{
	Watchdog watchdog(60, "AlertInf2 answered by Enter");
	bool answered = false;
	std::thread user([&] {
		Window alert = wait_for_window(fDisplay, "--", kWaitMilliseconds);
		if (alert == None
				|| !wait_until(
						[&] { return focused_window(fDisplay) == alert; },
						kWaitMilliseconds))
			return;
		std::this_thread::sleep_for(std::chrono::milliseconds(200));
		write_png(screenshot_path("no-files-alert.png"),
				capture(fDisplay, alert));
		press_key(fDisplay, XK_Return);
		answered = true;
	});
	EXPECT_EQ(AlertInf2("Textwend-AddOn\n\tNo files selected.."), 0);
	user.join();
	EXPECT_TRUE(answered);
}
