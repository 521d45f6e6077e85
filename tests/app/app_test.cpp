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

#include <string.h>
#include <sys/stat.h>
#include <X11/keysym.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>


namespace {

const char kInformation[] = "Textwend-AddOn V0.80 \t converts Alien-Text   :)\n"
							"It's a Tracker Add-On,  so move it to:\n"
							"\t/home/config/add-ons/Tracker";

const std::string kInformationAlert
		= std::string("alert \"Outsch\":\n") + kInformation + "\n[ Outch ]\n";

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
	test::Folder folder("app");
	std::string letter = folder / "Brief.txt";
	const std::string dosText = "Gr\x81\xe1"
								"e aus \x99sterreich!\r\n";
	for (const Case& c : cases) {
		SCOPED_TRACE(c.name);
		{
			std::ofstream out(letter, std::ios::binary | std::ios::trunc);
			out << dosText;
		}

		test::ChildOptions options;
		options.seconds = 10;
		if (c.display != NULL) {
			setenv("DISPLAY", c.display, 1);
			options.keepDisplay = true;
		}
		test::Program program;
		// Files given on the command line are not converted.
		bool started = program.Start({TEXTWEND_IMAGE, letter}, options);
		unsetenv("DISPLAY");
		ASSERT_TRUE(started);
		test::ChildResult run = program.Finish();
		EXPECT_FALSE(run.timedOut);
		EXPECT_EQ(run.status, 0);
		EXPECT_EQ(run.output, "");
		EXPECT_EQ(run.errors, c.err);
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
