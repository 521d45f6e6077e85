/*
 * Tests on an X server of their own: each test starts Xvfb, points DISPLAY
 * at it, and stops it at its end.
 */
#ifndef TESTS_INTERFACE_XVFB_TEST_H
#define TESTS_INTERFACE_XVFB_TEST_H

#include <gtest/gtest.h>

#include "x_server.h"

#include <stdlib.h>
#include <X11/Xlib.h>

class XvfbTest : public testing::Test {
protected:
	void
	SetUp() override
	{
		std::string error;
		ASSERT_TRUE(fServer.Start(error)) << error;
		setenv("DISPLAY", fServer.Name().c_str(), 1);
		fDisplay = XOpenDisplay(fServer.Name().c_str());
		ASSERT_NE(fDisplay, nullptr)
				<< "Xvfb started but " << fServer.Name() << " does not answer";
	}

	void
	TearDown() override
	{
		if (fDisplay != NULL)
			XCloseDisplay(fDisplay);
		fDisplay = NULL;
		fServer.Stop();
		unsetenv("DISPLAY");
	}

	XServer fServer;
	Display* fDisplay = NULL;
};

#endif // TESTS_INTERFACE_XVFB_TEST_H
