/*
 * Ends a test that hangs: if the watchdog is still armed when its time is
 * up, it says what was awaited and ends the process with a failure.
 */
#ifndef TESTS_INTERFACE_WATCHDOG_H
#define TESTS_INTERFACE_WATCHDOG_H

#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
public:
	Watchdog(int seconds, std::string what)
		: fWhat(std::move(what))
	{
		fThread = std::thread([this, seconds] {
			std::unique_lock<std::mutex> guard(fLock);
			if (!fDisarmed.wait_for(guard, std::chrono::seconds(seconds),
						[this] { return fDone; })) {
				fprintf(stderr, "timed out after %d s: %s\n", seconds,
						fWhat.c_str());
				_exit(124);
			}
		});
	}

	~Watchdog()
	{
		{
			std::lock_guard<std::mutex> guard(fLock);
			fDone = true;
		}
		fDisarmed.notify_all();
		fThread.join();
	}

private:
	std::string fWhat;
	std::mutex fLock;
	std::condition_variable fDisarmed;
	bool fDone = false;
	std::thread fThread;
};

#endif // TESTS_INTERFACE_WATCHDOG_H
