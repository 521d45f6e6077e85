/*
 * The status window without a display: what Open() builds, names shown
 * from the batch's thread while the window's own runs, and Close().
 */
#include "support/child.h"
#include "watchdog.h"

#include "addon/statWindow.h"

#include <Application.h>
#include <Box.h>
#include <StringView.h>
#include <Window.h>

#include <gtest/gtest.h>

#include <stdlib.h>

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

		ASSERT_TRUE(window->Lock());
		BStringView* nameView
				= dynamic_cast<BStringView*>(window->FindView("BSV"));
		BStringView* label
				= dynamic_cast<BStringView*>(window->FindView("BSI"));
		ASSERT_NE(nameView, nullptr);
		ASSERT_NE(label, nullptr);
		EXPECT_EQ(std::string(nameView->Text()), name);
		EXPECT_STREQ(label->Text(), "Textwend-Addon");
		window->Unlock();
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
