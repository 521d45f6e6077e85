/*
 * The windows of the process. Windows register themselves as they are made
 * and deleted, so the list lives with the interface kit; the application
 * shows it through CountWindows() and WindowAt().
 */
#include <Application.h>
#include <Window.h>

#include <interface/window_list.h>

#include <stdio.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>


namespace {

std::mutex sWindowsLock;
std::vector<BWindow*> sWindows;

} // namespace


void
BPrivate::add_window(BWindow* window)
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	try {
		sWindows.push_back(window);
	} catch (const std::bad_alloc&) {
		fputs("BWindow: out of memory; the window is not listed\n", stderr);
	}
}


void
BPrivate::remove_window(BWindow* window)
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	sWindows.erase(std::remove(sWindows.begin(), sWindows.end(), window),
			sWindows.end());
}


int32
BApplication::CountWindows() const
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	return static_cast<int32>(sWindows.size());
}


BWindow*
BApplication::WindowAt(int32 index) const
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	if (index < 0 || static_cast<size_t>(index) >= sWindows.size())
		return NULL;
	return sWindows[index];
}
