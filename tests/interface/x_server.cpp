#include "x_server.h"

#include <X11/extensions/XTest.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;


namespace {

const int kStartSeconds = 20;


bool
wait_for_exit(pid_t process, int milliseconds)
{
	return wait_until(
			[process] {
				int status;
				pid_t result = waitpid(process, &status, WNOHANG);
				return result == process || (result < 0 && errno == ECHILD);
			},
			milliseconds);
}


std::string
window_title(Display* display, Window window)
{
	char* name = NULL;
	std::string title;
	if (XFetchName(display, window, &name) && name != NULL) {
		title = name;
		XFree(name);
	}
	return title;
}


Window
find_window(Display* display, const std::string& title)
{
	Window root;
	Window parent;
	Window* children = NULL;
	unsigned int count = 0;
	Window found = None;
	if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent,
				&children, &count))
		return None;
	for (unsigned int i = 0; i < count && found == None; i++) {
		XWindowAttributes attributes;
		if (XGetWindowAttributes(display, children[i], &attributes)
				&& attributes.map_state == IsViewable
				&& window_title(display, children[i]) == title)
			found = children[i];
	}
	if (children != NULL)
		XFree(children);
	return found;
}

} // namespace


XServer::~XServer()
{
	Stop();
}


bool
XServer::Start(std::string& error)
{
	int numberPipe[2];
	if (pipe2(numberPipe, O_CLOEXEC) != 0) {
		error = strerror(errno);
		return false;
	}

	// The server picks a free display and writes its number to fd 3. It
	// ends when its last client goes, so that a test process that dies
	// leaves no server behind.
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, numberPipe[1], 3);
	posix_spawn_file_actions_addopen(
			&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_addopen(
			&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
	posix_spawn_file_actions_addopen(
			&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
	const char* arguments[] = {"Xvfb", "-displayfd", "3", "-screen", "0",
			"1024x768x24", "-nolisten", "tcp", "-terminate", NULL};
	int spawned = posix_spawnp(&fProcess, "Xvfb", &actions, NULL,
			const_cast<char**>(arguments), environ);
	posix_spawn_file_actions_destroy(&actions);
	close(numberPipe[1]);
	if (spawned != 0) {
		close(numberPipe[0]);
		fProcess = -1;
		error = spawned == ENOENT
				? "Xvfb is not installed: install the Debian package xvfb "
				  "(./test.sh does)"
				: std::string("cannot start Xvfb: ") + strerror(spawned);
		return false;
	}

	std::string number;
	auto deadline = std::chrono::steady_clock::now()
			+ std::chrono::seconds(kStartSeconds);
	while (number.find('\n') == std::string::npos) {
		int left = static_cast<int>(
				std::chrono::duration_cast<std::chrono::milliseconds>(
						deadline - std::chrono::steady_clock::now())
						.count());
		struct pollfd readable = {numberPipe[0], POLLIN, 0};
		if (left <= 0 || poll(&readable, 1, left) <= 0)
			break;
		char buffer[16];
		ssize_t count = read(numberPipe[0], buffer, sizeof(buffer));
		if (count <= 0)
			break;
		number.append(buffer, count);
	}
	close(numberPipe[0]);
	if (number.find('\n') == std::string::npos) {
		Stop();
		error = "Xvfb did not report its display within "
				+ std::to_string(kStartSeconds) + " s";
		return false;
	}
	// Appended rather than prefixed: GCC 12 at -O3 takes ":" + string for
	// an overlapping copy.
	fName = std::string(1, ':').append(number, 0, number.find('\n'));
	return true;
}


void
XServer::Kill()
{
	if (fProcess <= 0)
		return;
	kill(fProcess, SIGKILL);
	wait_for_exit(fProcess, 10000);
	fProcess = -1;
}


void
XServer::Stop()
{
	if (fProcess <= 0)
		return;
	kill(fProcess, SIGTERM);
	if (!wait_for_exit(fProcess, 5000)) {
		kill(fProcess, SIGKILL);
		wait_for_exit(fProcess, 5000);
	}
	fProcess = -1;
}


bool
wait_until(const std::function<bool()>& condition, int milliseconds)
{
	auto deadline = std::chrono::steady_clock::now()
			+ std::chrono::milliseconds(milliseconds);
	while (true) {
		if (condition())
			return true;
		if (std::chrono::steady_clock::now() >= deadline)
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
}


Window
wait_for_window(Display* display, const std::string& title, int milliseconds)
{
	Window window = None;
	wait_until(
			[&] {
				window = find_window(display, title);
				return window != None;
			},
			milliseconds);
	return window;
}


bool
window_shown(Display* display, const std::string& title)
{
	return find_window(display, title) != None;
}


WindowGeometry
window_geometry(Display* display, Window window)
{
	WindowGeometry geometry = {0, 0, 0, 0};
	XWindowAttributes attributes;
	Window child;
	if (XGetWindowAttributes(display, window, &attributes)) {
		geometry.width = attributes.width;
		geometry.height = attributes.height;
		XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0,
				&geometry.x, &geometry.y, &child);
	}
	return geometry;
}


Window
focused_window(Display* display)
{
	Window focus = None;
	int revert;
	XGetInputFocus(display, &focus, &revert);
	return focus;
}


Image
capture(Display* display, int x, int y, int width, int height)
{
	Image image;
	XImage* pixels = XGetImage(display, DefaultRootWindow(display), x, y, width,
			height, AllPlanes, ZPixmap);
	if (pixels == NULL)
		return image;

	auto component = [](unsigned long value, unsigned long mask) {
		int shift = __builtin_ctzl(mask);
		unsigned long top = mask >> shift;
		return static_cast<uint8_t>(((value & mask) >> shift) * 255 / top);
	};
	image.width = width;
	image.height = height;
	image.pixels.reserve(width * height);
	for (int row = 0; row < height; row++) {
		for (int column = 0; column < width; column++) {
			unsigned long value = XGetPixel(pixels, column, row);
			image.pixels.push_back(Pixel {component(value, pixels->red_mask),
					component(value, pixels->green_mask),
					component(value, pixels->blue_mask)});
		}
	}
	XDestroyImage(pixels);
	return image;
}


Image
capture(Display* display, Window window)
{
	WindowGeometry geometry = window_geometry(display, window);
	return capture(
			display, geometry.x, geometry.y, geometry.width, geometry.height);
}


void
press_key(Display* display, unsigned long keysym)
{
	KeyCode code = XKeysymToKeycode(display, keysym);
	XTestFakeKeyEvent(display, code, True, 0);
	XTestFakeKeyEvent(display, code, False, 0);
	XFlush(display);
}


void
click(Display* display, int x, int y)
{
	XTestFakeMotionEvent(display, -1, x, y, 0);
	XTestFakeButtonEvent(display, 1, True, 0);
	XTestFakeButtonEvent(display, 1, False, 0);
	XFlush(display);
}


void
drag(Display* display, int fromX, int fromY, int toX, int toY)
{
	XTestFakeMotionEvent(display, -1, fromX, fromY, 0);
	XTestFakeButtonEvent(display, 1, True, 0);
	XTestFakeMotionEvent(display, -1, toX, toY, 0);
	XTestFakeButtonEvent(display, 1, False, 0);
	XFlush(display);
}


std::string
screenshot_path(const std::string& name)
{
	mkdir(TEXTWEND_SCREENSHOTS, 0755);
	return std::string(TEXTWEND_SCREENSHOTS) + "/" + name;
}
