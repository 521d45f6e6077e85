/*
 * The status window without a display: what Open() builds, names shown
 * from the batch's thread while the window's own runs, and Close(); the
 * window of a tree, its progress, and its lines on standard error.
 */
#include "support/child.h"
#include "watchdog.h"

#include "addon/statWindow.h"
#include "app/text_domain.h"

#include <Application.h>
#include <Box.h>
#include <Button.h>
#include <StatusBar.h>
#include <StringView.h>
#include <Window.h>

#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include <string>
#include <thread>
#include <vector>


namespace {

// The window list lives with the application; one per process.
BApplication&
application()
{
	static BApplication* sApplication
			= new BApplication("application/x-vnd.textwend-status-test");
	return *sApplication;
}


class StatusWindowTest : public testing::Test {
protected:
	void
	SetUp() override
	{
		unsetenv("DISPLAY");
		ASSERT_EQ(application().InitCheck(), B_OK);
	}

	BWindow*
	OnlyWindow()
	{
		return application().CountWindows() == 1 ? application().WindowAt(0)
												 : NULL;
	}
};

const rgb_color kDark = {10, 10, 10, 0};
const rgb_color kLight = {217, 217, 217, 0};

} // namespace


TEST_F(StatusWindowTest, OpenBuildsTheWindowItsViewsAndTheirOrder)
{
	Watchdog watchdog(20, "the status window");
	statWindow status;
	status.Open();
	BWindow* window = OnlyWindow();
	ASSERT_NE(window, nullptr);
	ASSERT_TRUE(window->Lock());

	EXPECT_EQ(window->Frame(), BRect(100, 15, 300, 39));
	EXPECT_STREQ(window->Title(), "TXW-Addon");
	EXPECT_EQ(window->Type(), B_MODAL_WINDOW);
	EXPECT_EQ(window->Feel(), B_MODAL_APP_WINDOW_FEEL);
	EXPECT_EQ(window->Look(), B_BORDERED_WINDOW_LOOK);
	EXPECT_EQ(window->Flags(), 0x20000002u);
	EXPECT_EQ(window->Workspaces(), 1u);
	EXPECT_FALSE(window->IsHidden());
	EXPECT_NE(window->Thread(), find_thread(NULL));

	ASSERT_EQ(window->CountChildren(), 1);
	BBox* box = dynamic_cast<BBox*>(window->ChildAt(0));
	ASSERT_NE(box, nullptr);
	EXPECT_EQ(box->Border(), B_FANCY_BORDER);
	ASSERT_EQ(box->CountChildren(), 2);

	struct Expected {
		BView* view;
		const char* name;
		BRect frame;
		const char* text;
	};
	const Expected views[] = {
			{box, "backview", BRect(-1, -1, 201, 25), NULL},
			{box->ChildAt(0), "BSI", BRect(120, 4, 194, 14), "Textwend-Addon"},
			{box->ChildAt(1), "BSV", BRect(5, 12, 190, 24), "TXW-Addon"},
	};
	for (const Expected& expected : views) {
		SCOPED_TRACE(expected.name);
		BView* view = expected.view;
		ASSERT_NE(view, nullptr);
		EXPECT_STREQ(view->Name(), expected.name);
		EXPECT_EQ(view->Frame(), expected.frame);
		EXPECT_EQ(view->ResizingMode(), B_FOLLOW_NONE);
		EXPECT_EQ(view->Flags(), B_WILL_DRAW);
		EXPECT_EQ(view->HighColor(), kDark);
		EXPECT_EQ(view->ViewColor(), kLight);
		EXPECT_EQ(view->LowColor(), kLight);
		EXPECT_EQ(view->Window(), window);
		if (expected.text != NULL) {
			BStringView* stringView = dynamic_cast<BStringView*>(view);
			ASSERT_NE(stringView, nullptr);
			EXPECT_STREQ(stringView->Text(), expected.text);
			EXPECT_EQ(stringView->Parent(), box);
		}
	}

	window->Unlock();
	status.Close();
	EXPECT_EQ(application().CountWindows(), 0);
}


TEST_F(StatusWindowTest, ShowNameFromAnotherThreadSetsTheNameUnchanged)
{
	Watchdog watchdog(20, "names shown from another thread");
	const std::string names[] = {
			"Brief.txt",
			"Grüße aus Köln.txt",
			// Far wider than the view: handed over whole, never shortened.
			std::string(1000, 'x') + ".txt",
			"",
			"Zeile\nzwei",
	};

	statWindow status;
	status.Open();
	BWindow* window = OnlyWindow();
	ASSERT_NE(window, nullptr);

	for (const std::string& name : names) {
		// As the batch does: on its own thread, while the window's runs.
		std::thread batch([&] { status.ShowName(name.c_str()); });
		batch.join();

		// Names that come quickly are drawn a few times a second.
		std::string shown;
		std::string labelText;
		auto deadline
				= std::chrono::steady_clock::now() + std::chrono::seconds(5);
		do {
			ASSERT_TRUE(window->Lock());
			BStringView* nameView
					= dynamic_cast<BStringView*>(window->FindView("BSV"));
			BStringView* label
					= dynamic_cast<BStringView*>(window->FindView("BSI"));
			ASSERT_NE(nameView, nullptr);
			ASSERT_NE(label, nullptr);
			shown = nameView->Text();
			labelText = label->Text();
			window->Unlock();
			std::this_thread::sleep_for(std::chrono::milliseconds(20));
		} while (shown != name && std::chrono::steady_clock::now() < deadline);
		EXPECT_EQ(shown, name);
		EXPECT_EQ(labelText, "Textwend-Addon");
	}
	status.Close();
}


TEST_F(StatusWindowTest, CloseDeletesTheWindowAndLeavesTheHolderHarmless)
{
	Watchdog watchdog(20, "the status window closing");
	statWindow status;
	status.Open();
	ASSERT_EQ(application().CountWindows(), 1);
	status.Close();
	EXPECT_EQ(application().CountWindows(), 0);

	// The holder forgets the window it closed: nothing is left to touch.
	status.ShowName("late.txt");
	status.Close();
	EXPECT_EQ(application().CountWindows(), 0);
}


TEST(StatusWindowTerminalTest, DrawnOnStandardErrorWithoutADisplay)
{
	test::ChildResult run = test::run_child([] {
		statWindow status;
		status.Open();
		status.ShowName("Grüße aus Köln.txt");
		status.Close();
		return 0;
	});
	EXPECT_FALSE(run.timedOut);
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.output, "");
	EXPECT_EQ(run.errors,
			"window \"TXW-Addon\": Textwend-Addon | TXW-Addon\n"
			"window \"TXW-Addon\": Grüße aus Köln.txt\n");
}


// A batch of many small files: the strip shows the first name at once,
// then a name a few times a second, and the last one before it closes.
TEST(StatusWindowTerminalTest, ManyNamesAreAFewLines)
{
	auto start = std::chrono::steady_clock::now();
	test::ChildResult run = test::run_child([] {
		statWindow status;
		status.Open();
		for (int i = 1; i <= 3000; i++)
			status.ShowName(("Brief " + std::to_string(i) + ".txt").c_str());
		status.Close();
		return 0;
	});
	double seconds = std::chrono::duration<double>(
			std::chrono::steady_clock::now() - start)
							 .count();
	EXPECT_EQ(run.status, 0);
	const std::string first = "window \"TXW-Addon\": Textwend-Addon | "
							  "TXW-Addon\nwindow \"TXW-Addon\": Brief 1.txt\n";
	const std::string last = "window \"TXW-Addon\": Brief 3000.txt\n";
	ASSERT_GE(run.errors.size(), first.size() + last.size());
	EXPECT_EQ(run.errors.substr(0, first.size()), first);
	EXPECT_EQ(run.errors.substr(run.errors.size() - last.size()), last);
	size_t lines = std::count(run.errors.begin(), run.errors.end(), '\n');
	EXPECT_LE(lines, 3 + static_cast<size_t>(seconds * 4) + 1) << run.errors;
}


TEST_F(StatusWindowTest, TreeWindowCountsThenShowsTheFileAtHand)
{
	Watchdog watchdog(30, "the window of a tree");
	statWindow status;
	status.OpenForTree();
	BWindow* window = OnlyWindow();
	ASSERT_NE(window, nullptr);
	ASSERT_TRUE(window->Lock());
	// The strip's place, title, type and border; larger, with Stop.
	EXPECT_EQ(window->Frame().LeftTop(), BPoint(100, 15));
	EXPECT_STREQ(window->Title(), "TXW-Addon");
	EXPECT_EQ(window->Feel(), B_MODAL_APP_WINDOW_FEEL);
	EXPECT_EQ(window->Look(), B_BORDERED_WINDOW_LOOK);
	BStatusBar* bar = dynamic_cast<BStatusBar*>(window->FindView("progress"));
	BButton* stop = dynamic_cast<BButton*>(window->FindView("stop"));
	BStringView* label = dynamic_cast<BStringView*>(window->FindView("BSI"));
	ASSERT_NE(bar, nullptr);
	ASSERT_NE(stop, nullptr);
	ASSERT_NE(label, nullptr);
	EXPECT_STREQ(label->Text(), "Textwend-Addon");
	EXPECT_STREQ(stop->Label(), "Stop");
	EXPECT_STREQ(bar->Text(), "counting…");
	EXPECT_EQ(bar->MaxValue(), 0);
	window->Unlock();

	struct Step {
		const char* name;
		std::function<void()> tell;
		const char* text;
		const char* trailing;
		float value;
		float max;
	};
	const Step steps[] = {
			{"counting", [&] { status.ShowCounting(1); }, "counting… 1 file",
					"", 1, 0},
			{"counted", [&] { status.ShowCounting(5000); },
					"counting… 5,000 files", "", 5000, 0},
			{"first file", [&] { status.ShowProgress(0, 5000, "a/Brief.txt"); },
					"0 of 5,000 files", "a/Brief.txt", 0, 5000},
			// Many quick calls: the last one is what the window shows.
			{"many files",
					[&] {
						for (int i = 1; i <= 1234; i++)
							status.ShowProgress(i, 5000,
									("b/" + std::to_string(i)).c_str());
					},
					"1,234 of 5,000 files", "b/1234", 1234, 5000},
			// The tree grew after it was counted: the bar is full, not
			// past its end.
			{"grown tree", [&] { status.ShowProgress(5002, 5000, "c.txt"); },
					"5,002 of 5,002 files", "c.txt", 5002, 5002},
	};
	for (const Step& step : steps) {
		SCOPED_TRACE(step.name);
		step.tell();
		std::string text;
		std::string trailing;
		float value = -1;
		float max = -1;
		auto shown = [&] {
			if (!window->Lock())
				return false;
			text = bar->Text();
			trailing = bar->TrailingText();
			value = bar->CurrentValue();
			max = bar->MaxValue();
			window->Unlock();
			return text == step.text && value == step.value;
		};
		auto deadline
				= std::chrono::steady_clock::now() + std::chrono::seconds(5);
		while (!shown() && std::chrono::steady_clock::now() < deadline)
			std::this_thread::sleep_for(std::chrono::milliseconds(20));
		EXPECT_EQ(text, step.text);
		EXPECT_EQ(trailing, step.trailing);
		EXPECT_EQ(value, step.value);
		EXPECT_EQ(max, step.max);
	}
	EXPECT_FALSE(status.StopRequested());
	status.Close();
	EXPECT_EQ(application().CountWindows(), 0);
	// Closed, the holder asks nothing of a window that is gone.
	status.ShowProgress(1, 2, "late.txt");
	EXPECT_FALSE(status.StopRequested());
}


TEST(StatusWindowTerminalTest, TreeProgressIsAFewLinesInThePersonsLanguage)
{
	struct Case {
		const char* language;
		std::string shown;
		std::string last;
	};
	const Case cases[] = {
			{"", "window \"TXW-Addon\": Textwend-Addon | counting…\n",
					"window \"TXW-Addon\": 2,000 of 2,000 files [100%] "
					"Ordner/Grüße 2000.txt\n"},
			{"de", "window \"TXW-Addon\": Textwend-Addon | zählt…\n",
					"window \"TXW-Addon\": 2.000 von 2.000 Dateien [100%] "
					"Ordner/Grüße 2000.txt\n"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.language);
		test::ChildOptions options;
		options.environment = {
				{"LANG", "C.UTF-8"}, {"LC_ALL", ""}, {"LANGUAGE", c.language}};
		auto start = std::chrono::steady_clock::now();
		test::ChildResult run = test::run_child(
				[] {
					setlocale(LC_MESSAGES, "");
					bind_text_domain();
					statWindow status;
					status.OpenForTree();
					for (int i = 1; i <= 2000; i++)
						status.ShowCounting(i);
					for (int i = 1; i <= 2000; i++) {
						std::string name
								= "Ordner/Grüße " + std::to_string(i) + ".txt";
						status.ShowProgress(i, 2000, name.c_str());
					}
					status.Close();
					return 0;
				},
				options);
		double seconds = std::chrono::duration<double>(
				std::chrono::steady_clock::now() - start)
								 .count();
		EXPECT_EQ(run.status, 0);
		EXPECT_EQ(run.output, "");
		ASSERT_GE(run.errors.size(), c.shown.size() + c.last.size());
		EXPECT_EQ(run.errors.substr(0, c.shown.size()), c.shown);
		EXPECT_EQ(run.errors.substr(run.errors.size() - c.last.size()), c.last);
		// 4,000 calls, but at most a line each quarter of a second besides
		// the first and the last.
		size_t lines = std::count(run.errors.begin(), run.errors.end(), '\n');
		EXPECT_LE(lines, 2 + static_cast<size_t>(seconds * 4) + 1)
				<< run.errors;
	}
}
