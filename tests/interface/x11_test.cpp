/*
 * The interface kit on an X server (Xvfb, started by each test): the status
 * window where its frame says, in its colours, redrawn when the name
 * changes; alerts answered from the keyboard and the mouse; and a server
 * that vanishes under a running window. Screenshots go to the build
 * folder.
 */
#include <gtest/gtest.h>

#include "watchdog.h"
#include "x_server.h"
#include "xvfb_test.h"

#include "addon/statWindow.h"

#include <Alert.h>
#include <View.h>
#include <Window.h>

#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <math.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>


namespace {

const int kWaitMilliseconds = 10000;

const Pixel kBackground = {217, 217, 217};
const Pixel kLightEdge = {255, 255, 255};
const Pixel kShadowEdge = {128, 128, 128};


// Dark pixels (text) in a rectangle of the image.
int
count_dark(const Image& image, int left, int top, int right, int bottom)
{
	int count = 0;
	for (int y = top; y <= bottom; y++) {
		for (int x = left; x <= right; x++) {
			Pixel pixel = image.At(x, y);
			if (pixel.red < 100 && pixel.green < 100 && pixel.blue < 100)
				count++;
		}
	}
	return count;
}


// The rightmost column with text in it, or -1.
int
last_dark_column(const Image& image, int top, int bottom)
{
	for (int x = image.width - 1; x >= 0; x--) {
		if (count_dark(image, x, top, x, bottom) > 0)
			return x;
	}
	return -1;
}


// Where the text between left and right ends, and on how many rows its last
// eight columns are marked: a letter spans several, an ellipsis one or two.
struct TextEnd {
	int column = -1;
	int rows = 0;
};

TextEnd
text_end(const Image& image, int left, int top, int right, int bottom)
{
	TextEnd end;
	for (int x = left; x <= right; x++) {
		if (count_dark(image, x, top, x, bottom) > 0)
			end.column = x;
	}
	for (int y = top; y <= bottom && end.column >= 0; y++)
		end.rows += count_dark(image, end.column - 7, y, end.column, y) > 0;
	return end;
}


std::vector<long>
long_property(Display* display, Window window, const char* name)
{
	std::vector<long> values;
	Atom property = XInternAtom(display, name, False);
	Atom type;
	int format;
	unsigned long count;
	unsigned long after;
	unsigned char* data = NULL;
	if (XGetWindowProperty(display, window, property, 0, 64, False,
				AnyPropertyType, &type, &format, &count, &after, &data)
					== Success
			&& data != NULL) {
		if (format == 32) {
			long* items = reinterpret_cast<long*>(data);
			values.assign(items, items + count);
		}
		XFree(data);
	}
	return values;
}

} // namespace


TEST_F(XvfbTest, StatusWindowIsADialogAtItsFrame)
{
	Watchdog watchdog(60, "the status window on the display");
	statWindow status;
	status.Open();
	Window window = wait_for_window(fDisplay, "TXW-Addon", kWaitMilliseconds);
	ASSERT_NE(window, None);

	WindowGeometry geometry = window_geometry(fDisplay, window);
	EXPECT_EQ(geometry.x, 100);
	EXPECT_EQ(geometry.y, 15);
	EXPECT_EQ(geometry.width, 201);
	EXPECT_EQ(geometry.height, 25);

	// What a window manager reads: a border only, a fixed size at a
	// position the user gave, a modal dialog.
	std::vector<long> motif
			= long_property(fDisplay, window, "_MOTIF_WM_HINTS");
	ASSERT_EQ(motif.size(), 5u);
	EXPECT_EQ(motif[2], 1 << 1);
	XSizeHints hints;
	long supplied;
	ASSERT_TRUE(XGetWMNormalHints(fDisplay, window, &hints, &supplied));
	EXPECT_TRUE(hints.flags & USPosition);
	EXPECT_EQ(hints.win_gravity, StaticGravity);
	EXPECT_EQ(hints.min_width, 201);
	EXPECT_EQ(hints.max_width, 201);
	EXPECT_EQ(hints.min_height, 25);
	EXPECT_EQ(hints.max_height, 25);
	std::vector<long> type
			= long_property(fDisplay, window, "_NET_WM_WINDOW_TYPE");
	ASSERT_EQ(type.size(), 1u);
	EXPECT_EQ(static_cast<Atom>(type[0]),
			XInternAtom(fDisplay, "_NET_WM_WINDOW_TYPE_DIALOG", False));
	std::vector<long> state = long_property(fDisplay, window, "_NET_WM_STATE");
	ASSERT_EQ(state.size(), 1u);
	EXPECT_EQ(static_cast<Atom>(state[0]),
			XInternAtom(fDisplay, "_NET_WM_STATE_MODAL", False));

	status.Close();
	EXPECT_TRUE(wait_until([&] { return !window_shown(fDisplay, "TXW-Addon"); },
			kWaitMilliseconds));
}


TEST_F(XvfbTest, StatusWindowPaintsItsColoursAndRedrawsAChangedName)
{
	Watchdog watchdog(60, "the status window's pixels");
	statWindow status;
	status.Open();
	Window window = wait_for_window(fDisplay, "TXW-Addon", kWaitMilliseconds);
	ASSERT_NE(window, None);

	// Light grey, alpha 0 notwithstanding, with the box's raised edge.
	Image first;
	ASSERT_TRUE(wait_until(
			[&] {
				first = capture(fDisplay, window);
				return first.width == 201 && first.At(100, 6) == kBackground;
			},
			kWaitMilliseconds));
	struct Spot {
		int x;
		int y;
		Pixel expected;
	};
	const Spot spots[] = {
			{2, 2, kBackground},
			{100, 6, kBackground},
			{150, 20, kBackground},
			{197, 21, kBackground},
			{0, 12, kLightEdge},
			{100, 0, kLightEdge},
			{200, 12, kShadowEdge},
			{100, 24, kShadowEdge},
	};
	for (const Spot& spot : spots) {
		Pixel pixel = first.At(spot.x, spot.y);
		EXPECT_EQ(pixel, spot.expected)
				<< "at " << spot.x << "," << spot.y << ": " << int(pixel.red)
				<< "," << int(pixel.green) << "," << int(pixel.blue);
	}
	// Dark text in both string views: "TXW-Addon" at the left below,
	// "Textwend-Addon" at the right above.
	EXPECT_GT(count_dark(first, 4, 11, 60, 23), 20);
	EXPECT_GT(count_dark(first, 119, 3, 193, 10), 20);
	// The add-on's name whole, ending in a letter, not in an ellipsis.
	EXPECT_GT(text_end(first, 119, 2, 193, 11).rows, 2);
	int firstEnd = last_dark_column(first, 15, 23);
	EXPECT_LT(firstEnd, 70);

	// The batch's thread changes the name; the window's thread redraws.
	std::thread batch([&] { status.ShowName("Grüße aus Köln.txt"); });
	batch.join();
	Image second;
	EXPECT_TRUE(wait_until(
			[&] {
				second = capture(fDisplay, window);
				return last_dark_column(second, 15, 23) > firstEnd + 15;
			},
			kWaitMilliseconds));
	EXPECT_EQ(second.At(150, 20), kBackground);
	EXPECT_GT(count_dark(second, 119, 3, 193, 10), 20);
	EXPECT_TRUE(write_png(screenshot_path("status-window.png"), second));

	// A name too long for its view ends in an ellipsis inside the view: the
	// last marks are dots on one line, not a letter cut in half.
	status.ShowName(
			"Ein Brief mit einem Namen, der nicht in das Fenster passt.txt");
	Image third;
	TextEnd end;
	EXPECT_TRUE(wait_until(
			[&] {
				third = capture(fDisplay, window);
				end = text_end(third, 4, 11, 189, 23);
				return end.column > 150;
			},
			kWaitMilliseconds));
	EXPECT_EQ(count_dark(third, 190, 11, 196, 23), 0);
	EXPECT_LE(end.rows, 2);
	EXPECT_TRUE(write_png(screenshot_path("status-window-long.png"), third));

	status.Close();
	EXPECT_TRUE(wait_until([&] { return !window_shown(fDisplay, "TXW-Addon"); },
			kWaitMilliseconds));
}


TEST_F(XvfbTest, AlertIsAnsweredFromTheKeyboardOrTheMouse)
{
	struct Case {
		const char* name;
		const char* button;
		KeySym key;
		int expected;
	};
	const Case cases[] = {
			{"Enter", NULL, XK_Return, 2},
			{"Escape", NULL, XK_Escape, 2},
			{"click on the first button", "_b0_", NoSymbol, 0},
			{"click on the second button", "_b1_", NoSymbol, 1},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.name);
		Watchdog watchdog(60, std::string("an alert answered by ") + c.name);
		BAlert* alert
				= new BAlert("Choose", "Which one?\n\tThe last is the default.",
						"One", "Two", "Three");

		bool answered = false;
		std::thread user([&] {
			Window window
					= wait_for_window(fDisplay, "Choose", kWaitMilliseconds);
			if (window == None
					|| !wait_until(
							[&] { return focused_window(fDisplay) == window; },
							kWaitMilliseconds))
				return;
			if (c.button == NULL) {
				if (c.key == XK_Return)
					write_png(screenshot_path("alert.png"),
							capture(fDisplay, window));
				press_key(fDisplay, c.key);
			} else {
				if (!alert->Lock())
					return;
				BView* button = alert->FindView(c.button);
				BRect frame = button->ConvertToScreen(button->Bounds());
				alert->Unlock();
				click(fDisplay,
						static_cast<int>(frame.left + frame.Width() / 2),
						static_cast<int>(frame.top + frame.Height() / 2));
			}
			answered = true;
		});
		int32 result = alert->Go();
		user.join();
		EXPECT_TRUE(answered);
		EXPECT_EQ(result, c.expected);
		EXPECT_TRUE(
				wait_until([&] { return !window_shown(fDisplay, "Choose"); },
						kWaitMilliseconds));
	}
}


TEST_F(XvfbTest, AVanishedServerEndsNoWindowAndNoProcess)
{
	Watchdog watchdog(60, "windows whose server vanished");
	statWindow status;
	status.Open();
	ASSERT_NE(wait_for_window(fDisplay, "TXW-Addon", kWaitMilliseconds), None);

	// The server goes away while an alert waits for its answer.
	BAlert* alert = new BAlert("Gone", "The display goes away.", "OK");
	std::thread crash([&] {
		if (wait_for_window(fDisplay, "Gone", kWaitMilliseconds) == None)
			return;
		XCloseDisplay(fDisplay);
		fDisplay = NULL;
		fServer.Kill();
	});
	// Nobody can answer an alert on a display that is gone.
	EXPECT_EQ(alert->Go(), -1);
	crash.join();

	// The status window outlives its display: the batch goes on.
	status.ShowName("after.txt");
	status.Close();
}


TEST_F(XvfbTest, TreeWindowDrawsItsBarAndTheFileAtHand)
{
	Watchdog watchdog(60, "the window of a tree on the display");
	statWindow status;
	status.OpenForTree();
	Window window = wait_for_window(fDisplay, "TXW-Addon", kWaitMilliseconds);
	ASSERT_NE(window, None);
	WindowGeometry geometry = window_geometry(fDisplay, window);
	EXPECT_EQ(geometry.x, 100);
	EXPECT_EQ(geometry.y, 15);

	// A quarter done: the bar's colour over a quarter of its row.
	status.ShowProgress(1250, 5000, "Briefe/Grüße aus Köln.txt");
	const Pixel kBar = {50, 150, 255};
	auto bar_share = [&](const Image& image, int row) {
		int filled = 0;
		int left = -1;
		int right = -1;
		for (int x = 0; x < image.width; x++) {
			Pixel pixel = image.At(x, row);
			if (pixel == kBar)
				filled++;
			// The bar's inside: lighter than the window around it.
			if (pixel == kBar || pixel.red > 235) {
				left = left < 0 ? x : left;
				right = x;
			}
		}
		return right > left ? double(filled) / (right - left + 1) : 0.0;
	};
	Image image;
	int row = -1;
	// Until then, the block of the count moves along the bar.
	EXPECT_TRUE(wait_until(
			[&] {
				image = capture(fDisplay, window);
				row = -1;
				for (int y = 0; y < image.height && row < 0; y++) {
					if (image.At(10, y) == kBar)
						row = y;
				}
				return row >= 0 && fabs(bar_share(image, row) - 0.25) < 0.02;
			},
			kWaitMilliseconds));
	ASSERT_GE(row, 0);
	EXPECT_EQ(image.At(200, 3), kBackground);
	// The count at the left above the bar, the file's name at its right.
	EXPECT_GT(count_dark(image, 6, 8, 100, row - 3), 30);
	EXPECT_GT(count_dark(image, 200, 8, 310, row - 3), 30);
	EXPECT_TRUE(write_png(screenshot_path("status-window-tree.png"), image));

	status.Close();
	EXPECT_TRUE(wait_until([&] { return !window_shown(fDisplay, "TXW-Addon"); },
			kWaitMilliseconds));
}


TEST_F(XvfbTest, StopOrEscapeReachesTheBatchThread)
{
	enum Action { kClick, kEscape, kReleasedBeside };
	struct Case {
		const char* name;
		Action action;
		bool stops;
	};
	const Case cases[] = {
			{"a click on Stop", kClick, true},
			{"Escape", kEscape, true},
			{"a press on Stop released beside it", kReleasedBeside, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.name);
		Watchdog watchdog(60, std::string("a run stopped by ") + c.name);
		statWindow status;
		status.OpenForTree();
		Window window
				= wait_for_window(fDisplay, "TXW-Addon", kWaitMilliseconds);
		ASSERT_NE(window, None);
		// Escape needs the keys: the window takes them when it shows.
		ASSERT_TRUE(
				wait_until([&] { return focused_window(fDisplay) == window; },
						kWaitMilliseconds));

		// As the batch does: a file after the other, asking after each.
		std::atomic<bool> stopped(false);
		std::thread batch([&] {
			for (int i = 0; i < 20000 && !status.StopRequested(); i++) {
				status.ShowProgress(i, 20000, "Brief.txt");
				std::this_thread::sleep_for(std::chrono::milliseconds(1));
			}
			stopped = status.StopRequested();
		});

		WindowGeometry geometry = window_geometry(fDisplay, window);
		// The button's middle, in the window's right part.
		int x = geometry.x + 358;
		int y = geometry.y + 30;
		if (c.action == kClick)
			click(fDisplay, x, y);
		else if (c.action == kEscape)
			press_key(fDisplay, XK_Escape);
		else
			drag(fDisplay, x, y, x - 100, y);
		if (!c.stops) {
			std::this_thread::sleep_for(std::chrono::milliseconds(500));
			EXPECT_FALSE(status.StopRequested());
			press_key(fDisplay, XK_Escape);
		}
		batch.join();
		EXPECT_TRUE(stopped.load());
		status.Close();
	}
}
