/*
 * The interface kit without a display: geometry, colours, the view tree,
 * windows, their lines on standard error, and alerts answered on the
 * terminal or at once.
 */
#include "support/child.h"
#include "watchdog.h"

#include <Alert.h>
#include <Application.h>
#include <interface/window_looks.h>
#include <InterfaceDefs.h>
#include <Rect.h>
#include <StatusBar.h>
#include <StringView.h>
#include <View.h>
#include <Window.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>


namespace {

class HeadlessTest : public testing::Test {
protected:
	void
	SetUp() override
	{
		unsetenv("DISPLAY");
	}
};


// Counts the views deleted, so that a test sees who deletes them.
class CountedView : public BView {
public:
	CountedView(const char* name, int& deleted)
		: BView(BRect(0, 0, 9, 9), name, B_FOLLOW_NONE, B_WILL_DRAW)
		, fDeleted(deleted)
	{
	}

	~CountedView() override { fDeleted++; }

private:
	int& fDeleted;
};


std::vector<std::string>
names_of_children(BView* view)
{
	std::vector<std::string> names;
	for (int32 i = 0; i < view->CountChildren(); i++)
		names.push_back(view->ChildAt(i)->Name());
	return names;
}

} // namespace


TEST(RectTest, EdgesAreInclusive)
{
	struct Case {
		BRect rect;
		float width;
		float height;
		int32 integerWidth;
		bool valid;
	};
	const Case cases[] = {
			{BRect(100, 15, 300, 39), 200, 24, 200, true},
			{BRect(-1, -1, 201, 25), 202, 26, 202, true},
			{BRect(5, 5, 5, 5), 0, 0, 0, true},
			{BRect(), -1, -1, -1, false},
	};
	for (const Case& c : cases) {
		EXPECT_EQ(c.rect.Width(), c.width);
		EXPECT_EQ(c.rect.Height(), c.height);
		EXPECT_EQ(c.rect.IntegerWidth(), c.integerWidth);
		EXPECT_EQ(c.rect.IsValid(), c.valid);
	}
}


TEST(RectTest, IntersectsContainsAndMoves)
{
	// The two string views of the status window overlap in one strip.
	BRect label(120, 4, 194, 14);
	BRect name(5, 12, 190, 24);
	EXPECT_EQ(label & name, BRect(120, 12, 190, 14));
	EXPECT_TRUE(label.Intersects(name));
	EXPECT_FALSE(label.Intersects(BRect(195, 4, 200, 14)));
	EXPECT_TRUE(name.Contains(BPoint(190, 24)));
	EXPECT_FALSE(name.Contains(BPoint(191, 24)));
	EXPECT_EQ(name.OffsetByCopy(-5, -12), BRect(0, 0, 185, 12));
	EXPECT_EQ(label | name, BRect(5, 4, 194, 24));
}


TEST(ColorTest, TintsKeepTheAlphaAndStayInRange)
{
	const rgb_color grey = {217, 217, 217, 0};
	struct Case {
		float tint;
		uint8 expected;
	};
	const Case cases[] = {
			{B_LIGHTEN_MAX_TINT, 255},
			{B_NO_TINT, 217},
			{B_DARKEN_3_TINT, 128},
			{B_DARKEN_MAX_TINT, 0},
			{3.0f, 0},
			{-1.0f, 255},
	};
	for (const Case& c : cases) {
		rgb_color tinted = tint_color(grey, c.tint);
		EXPECT_EQ(tinted, make_color(c.expected, c.expected, c.expected, 0))
				<< "tint " << c.tint;
	}
}


TEST(ViewTest, ChildrenKeepTheirOrderParentAndOwner)
{
	int deleted = 0;
	BView* parent = new CountedView("parent", deleted);
	BView* first = new CountedView("first", deleted);
	BView* last = new CountedView("last", deleted);
	BView* middle = new CountedView("middle", deleted);
	BView* nested = new CountedView("nested", deleted);

	parent->AddChild(first);
	parent->AddChild(last);
	parent->AddChild(middle, last);
	middle->AddChild(nested);
	EXPECT_EQ(names_of_children(parent),
			(std::vector<std::string> {"first", "middle", "last"}));
	EXPECT_EQ(nested->Parent(), middle);
	EXPECT_EQ(parent->FindView("nested"), nested);
	EXPECT_EQ(parent->FindView("none"), nullptr);

	// A view that already has a parent is not taken by another.
	first->AddChild(nested);
	EXPECT_EQ(nested->Parent(), middle);

	// Removed, a child is the caller's again.
	EXPECT_TRUE(parent->RemoveChild(first));
	EXPECT_EQ(first->Parent(), nullptr);
	EXPECT_FALSE(parent->RemoveChild(first));
	delete first;
	EXPECT_EQ(deleted, 1);

	delete parent;
	EXPECT_EQ(deleted, 5);
}


TEST(ViewTest, ColoursAreKeptWithTheirAlpha)
{
	BView view(BRect(0, 0, 9, 9), "view", B_FOLLOW_NONE, B_WILL_DRAW);
	view.SetHighColor(10, 10, 10, 0);
	view.SetViewColor(make_color(217, 217, 217, 0));
	view.SetLowColor(make_color(217, 217, 217, 0));
	EXPECT_EQ(view.HighColor(), make_color(10, 10, 10, 0));
	EXPECT_EQ(view.ViewColor(), make_color(217, 217, 217, 0));
	EXPECT_EQ(view.LowColor(), make_color(217, 217, 217, 0));
	EXPECT_EQ(view.ResizingMode(), B_FOLLOW_NONE);
	EXPECT_EQ(view.Flags(), B_WILL_DRAW);
	EXPECT_EQ(view.Bounds(), BRect(0, 0, 9, 9));
}


TEST_F(HeadlessTest, TypeGivesLookAndFeelAndSetLookChangesOnlyTheLook)
{
	struct Case {
		window_type type;
		window_look look;
		window_feel feel;
	};
	const Case cases[] = {
			{B_TITLED_WINDOW, B_TITLED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL},
			{B_DOCUMENT_WINDOW, B_DOCUMENT_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL},
			{B_MODAL_WINDOW, B_MODAL_WINDOW_LOOK, B_MODAL_APP_WINDOW_FEEL},
			{B_FLOATING_WINDOW, B_FLOATING_WINDOW_LOOK,
					B_FLOATING_APP_WINDOW_FEEL},
			{B_BORDERED_WINDOW, B_BORDERED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL},
	};
	for (const Case& c : cases) {
		BWindow* window = new BWindow(BRect(100, 15, 300, 39), "Window", c.type,
				0x20000002, B_CURRENT_WORKSPACE);
		ASSERT_EQ(window->InitCheck(), B_OK);
		EXPECT_EQ(window->Type(), c.type);
		EXPECT_EQ(window->Look(), c.look);
		EXPECT_EQ(window->Feel(), c.feel);
		EXPECT_EQ(window->Flags(), 0x20000002u);
		EXPECT_EQ(window->Frame(), BRect(100, 15, 300, 39));
		EXPECT_EQ(window->Bounds(), BRect(0, 0, 200, 24));
		EXPECT_STREQ(window->Title(), "Window");
		EXPECT_TRUE(window->IsHidden());

		EXPECT_EQ(window->SetLook(B_BORDERED_WINDOW_LOOK), B_OK);
		EXPECT_EQ(window->Look(), B_BORDERED_WINDOW_LOOK);
		EXPECT_EQ(window->Type(), c.type);
		EXPECT_EQ(window->Feel(), c.feel);
		EXPECT_EQ(window->Flags(), 0x20000002u);
		EXPECT_EQ(window->SetLook(static_cast<window_look>(99)), B_BAD_VALUE);
		EXPECT_EQ(window->Look(), B_BORDERED_WINDOW_LOOK);
		window->Quit();
	}
}


// What a window manager is asked to draw around a window and let the user
// do with it.
TEST(HintsTest, LookFeelAndFlagsGiveTheWindowManagersHints)
{
	using namespace BPrivate;
	const uint32 kTitled = kMotifDecorationBorder | kMotifDecorationTitle
			| kMotifDecorationMenu;
	const uint32 kAll = kMotifDecorationResizeHandle | kMotifDecorationMinimize
			| kMotifDecorationMaximize;
	const uint32 kAllFunctions = kMotifFunctionResize | kMotifFunctionMove
			| kMotifFunctionMinimize | kMotifFunctionMaximize
			| kMotifFunctionClose;
	struct Case {
		const char* name;
		window_look look;
		window_feel feel;
		uint32 flags;
		WindowHints expected;
	};
	const Case cases[] = {
			{"status window", B_BORDERED_WINDOW_LOOK, B_MODAL_APP_WINDOW_FEEL,
					B_NOT_RESIZABLE,
					{true, true, true, kMotifFunctionMove,
							kMotifDecorationBorder, kMotifInputApplicationModal,
							kDialogRole}},
			{"alert", B_MODAL_WINDOW_LOOK, B_MODAL_APP_WINDOW_FEEL,
					B_NOT_RESIZABLE | B_NOT_CLOSABLE,
					{true, true, true, kMotifFunctionMove,
							kMotifDecorationBorder | kMotifDecorationTitle,
							kMotifInputApplicationModal, kDialogRole}},
			{"titled", B_TITLED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL, 0,
					{false, false, true, kAllFunctions, kTitled | kAll,
							kMotifInputModeless, kNormalRole}},
			{"document, not closable, avoids focus", B_DOCUMENT_WINDOW_LOOK,
					B_NORMAL_WINDOW_FEEL, B_NOT_CLOSABLE | B_AVOID_FOCUS,
					{false, false, false, kAllFunctions & ~kMotifFunctionClose,
							kTitled | kAll, kMotifInputModeless, kNormalRole}},
			{"floating, fixed width", B_FLOATING_WINDOW_LOOK,
					B_FLOATING_APP_WINDOW_FEEL, B_NOT_H_RESIZABLE,
					{true, false, true,
							kMotifFunctionResize | kMotifFunctionMove
									| kMotifFunctionClose,
							kTitled | kMotifDecorationResizeHandle,
							kMotifInputModeless, kUtilityRole}},
			{"no border, modal to all", B_NO_BORDER_WINDOW_LOOK,
					B_MODAL_ALL_WINDOW_FEEL, B_NOT_MOVABLE,
					{false, false, true, kMotifFunctionResize, 0,
							kMotifInputSystemModal, kDialogRole}},
	};
	for (const Case& c : cases) {
		WindowHints hints = window_hints(c.flags, c.look, c.feel);
		EXPECT_EQ(hints.fixedWidth, c.expected.fixedWidth) << c.name;
		EXPECT_EQ(hints.fixedHeight, c.expected.fixedHeight) << c.name;
		EXPECT_EQ(hints.takesFocus, c.expected.takesFocus) << c.name;
		EXPECT_EQ(hints.motifFunctions, c.expected.motifFunctions) << c.name;
		EXPECT_EQ(hints.motifDecorations, c.expected.motifDecorations)
				<< c.name;
		EXPECT_EQ(hints.motifInputMode, c.expected.motifInputMode) << c.name;
		EXPECT_EQ(hints.role, c.expected.role) << c.name;
	}
}


TEST_F(HeadlessTest, WindowOwnsItsViewsAndQuitDeletesThem)
{
	Watchdog watchdog(20, "a window that quits");
	int deleted = 0;
	BWindow* window
			= new BWindow(BRect(0, 0, 99, 99), "Owner", B_TITLED_WINDOW, 0);
	BView* top = new CountedView("top", deleted);
	BView* inner = new CountedView("inner", deleted);
	top->AddChild(inner);
	window->AddChild(top);
	EXPECT_EQ(window->CountChildren(), 1);
	EXPECT_EQ(window->ChildAt(0), top);
	EXPECT_EQ(top->Parent(), nullptr);
	EXPECT_EQ(top->Window(), window);
	EXPECT_EQ(inner->Window(), window);
	EXPECT_EQ(inner->Parent(), top);
	EXPECT_EQ(window->FindView("inner"), inner);
	EXPECT_EQ(inner->ConvertToScreen(BPoint(1, 2)), BPoint(1, 2));

	window->Show();
	EXPECT_GT(window->Thread(), 0);
	EXPECT_NE(window->Thread(), find_thread(NULL));
	EXPECT_FALSE(window->IsHidden());

	// Quit from another thread returns once the window is gone.
	ASSERT_TRUE(window->Lock());
	window->Quit();
	EXPECT_EQ(deleted, 2);
}


TEST_F(HeadlessTest, ViewsOutsideTheLockAreNotChanged)
{
	Watchdog watchdog(20, "a window that quits");
	BWindow* window
			= new BWindow(BRect(0, 0, 99, 99), "Locked", B_TITLED_WINDOW, 0);
	window->Show();

	// The window's thread holds or takes the lock at any time; a change
	// without it is refused, not raced.
	BView* view = new BView(BRect(0, 0, 9, 9), "late", B_FOLLOW_NONE, 0);
	window->AddChild(view);
	EXPECT_EQ(window->CountChildren(), 0);
	delete view;

	ASSERT_TRUE(window->Lock());
	window->Quit();
}


TEST(TerminalTest, WindowsAreLinesOnStandardError)
{
	struct Case {
		const char* name;
		const char* newText;
		std::string expected;
	};
	const Case cases[] = {
			{"unchanged text", "first", "window \"Strip\": first | second\n"},
			{"changed text", "Grüße aus Köln.txt",
					"window \"Strip\": first | second\n"
					"window \"Strip\": Grüße aus Köln.txt\n"},
			{"control characters", "a\nb\tc\x1b",
					"window \"Strip\": first | second\n"
					"window \"Strip\": a?b\tc?\n"},
			// A name from DOS: 0x9B is a command to a terminal of 8 bits.
			{"bytes that are no UTF-8",
					"Br\x81"
					"cke\x9B"
					"1m \xC2\x9B"
					"2m",
					"window \"Strip\": first | second\n"
					"window \"Strip\": Br?cke?1m ?2m\n"},
	};
	for (const Case& c : cases) {
		test::ChildResult run = test::run_child([&] {
			BWindow* window = new BWindow(
					BRect(0, 0, 99, 20), "Strip", B_MODAL_WINDOW, 0);
			BView* box = new BView(
					BRect(0, 0, 99, 20), "box", B_FOLLOW_NONE, B_WILL_DRAW);
			BStringView* one
					= new BStringView(BRect(0, 0, 49, 20), "one", "first");
			box->AddChild(one);
			box->AddChild(
					new BStringView(BRect(50, 0, 99, 20), "two", "second"));
			window->AddChild(box);
			window->Show();
			window->Lock();
			one->SetText(c.newText);
			window->Unlock();
			window->Lock();
			window->Quit();
			return 0;
		});
		EXPECT_FALSE(run.timedOut) << c.name;
		EXPECT_EQ(run.status, 0) << c.name;
		EXPECT_EQ(run.output, "") << c.name;
		EXPECT_EQ(run.errors, c.expected) << c.name;
	}
}


TEST(TerminalTest, WithoutATerminalTheLastButtonAnswersAtOnce)
{
	struct Case {
		std::vector<const char*> labels;
		int expected;
		const char* buttons;
	};
	const Case cases[] = {
			{{" OK "}, 0, "[ OK ]"},
			{{"Cancel", "Go"}, 1, "[Cancel] [Go]"},
			{{"One", "Two", "Three"}, 2, "[One] [Two] [Three]"},
			{{}, -1, ""},
	};
	for (const Case& c : cases) {
		test::ChildResult run = test::run_child([&] {
			const char* labels[3] = {NULL, NULL, NULL};
			for (size_t i = 0; i < c.labels.size(); i++)
				labels[i] = c.labels[i];
			BAlert* alert = new BAlert("Title", "Line one\n\tLine two",
					labels[0], labels[1], labels[2]);
			return alert->Go();
		});
		EXPECT_FALSE(run.timedOut);
		EXPECT_EQ(run.status, 0);
		EXPECT_EQ(run.result, c.expected);
		EXPECT_EQ(run.output, "");
		EXPECT_EQ(run.errors,
				std::string("alert \"Title\":\nLine one\n\tLine two\n")
						+ c.buttons + "\n");
	}
}


TEST(TerminalTest, OnATerminalEnterEscapeOrAButtonNumberAnswers)
{
	struct Case {
		const char* typed;
		int expected;
	};
	const Case cases[] = {
			{"\n", 2},
			{"\x1b\n", 2},
			{"1\n", 0},
			{" 2 \n", 1},
			{"4\nyes\n3\n", 2},
	};
	for (const Case& c : cases) {
		test::ChildOptions options;
		options.typed = c.typed;
		test::ChildResult run = test::run_child(
				[] {
					BAlert* alert = new BAlert(
							"Choose", "Which one?", "One", "Two", "Three");
					return alert->Go();
				},
				options);
		EXPECT_FALSE(run.timedOut) << "typed " << c.typed;
		EXPECT_EQ(run.result, c.expected) << "typed " << c.typed;
		EXPECT_EQ(run.output, "");
		EXPECT_NE(run.errors.find("alert \"Choose\":\nWhich one?\n"
								  "[One] [Two] [Three]\n"),
				std::string::npos);
	}
}


TEST(TerminalTest, GoDeletesTheAlert)
{
	test::ChildResult run = test::run_child([] {
		BApplication application("application/x-vnd.textwend-kit-test");
		BAlert* alert = new BAlert("Title", "Text", "OK");
		int32 made = application.CountWindows();
		alert->Go();
		return made * 10 + application.CountWindows();
	});
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.result, 10);
}


TEST(StatusBarTest, TheValueStaysWithinTheBarAndTheTextsChangeWithIt)
{
	BStatusBar bar(BRect(0, 0, 99, 29), "bar", "Label", "end");
	struct Step {
		const char* name;
		std::function<void()> change;
		float value;
		float max;
		const char* text;
		const char* trailing;
	};
	const Step steps[] = {
			{"made", [] {}, 0, 100, "", ""},
			{"set", [&] { bar.SetTo(30, "30 of 100", "a.txt"); }, 30, 100,
					"30 of 100", "a.txt"},
			{"texts kept", [&] { bar.Update(20); }, 50, 100, "30 of 100",
					"a.txt"},
			{"past the end", [&] { bar.Update(80, "x"); }, 100, 100, "x",
					"a.txt"},
			{"below 0", [&] { bar.SetTo(-5); }, 0, 100, "x", "a.txt"},
			{"a smaller maximum",
					[&] {
						bar.SetTo(90);
						bar.SetMaxValue(40);
					},
					40, 40, "x", "a.txt"},
			{"no end yet",
					[&] {
						bar.SetMaxValue(0);
						bar.SetTo(1234, "counting");
					},
					1234, 0, "counting", "a.txt"},
			{"reset", [&] { bar.Reset("New"); }, 0, 0, "", ""},
	};
	for (const Step& step : steps) {
		step.change();
		EXPECT_EQ(bar.CurrentValue(), step.value) << step.name;
		EXPECT_EQ(bar.MaxValue(), step.max) << step.name;
		EXPECT_STREQ(bar.Text(), step.text) << step.name;
		EXPECT_STREQ(bar.TrailingText(), step.trailing) << step.name;
	}
	EXPECT_STREQ(bar.Label(), "New");
	EXPECT_STREQ(bar.TrailingLabel(), "");
}
