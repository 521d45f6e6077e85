/*
 * Application mode: the information alert, then quit.
 */
#include "app/sysApplication.h"

#include "app/alerts.h"

#include <AppDefs.h>


namespace {

const char kInformation[] = "Textwend-AddOn V0.80 \t converts Alien-Text   :)\n"
							"It's a Tracker Add-On,  so move it to:\n"
							"\t/home/config/add-ons/Tracker";

} // namespace


sysApplication::sysApplication()
	: BApplication("application/x-tracker-add-on")
{
	AlertMess(kInformation);

	// Run() meets this first and ends the loop.
	if (be_app != NULL)
		be_app->PostMessage(B_QUIT_REQUESTED);
}


sysApplication::~sysApplication()
{
}
