/*
 * BApplication: be_app, and a loop on the calling thread that ends with a
 * quit request.
 */
#include <Application.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>


namespace {

const char kSignature[] = "application/x-vnd.textwend-appkit-test";
const uint32 kWork = 0x776F726B; // 'work'


class RecordingApplication : public BApplication {
public:
	RecordingApplication(int agreeAfter = 1)
		: BApplication(kSignature)
		, fAgreeAfter(agreeAfter)
	{
	}

	void
	ReadyToRun() override
	{
		fEvents.push_back("ready");
	}

	bool
	QuitRequested() override
	{
		fEvents.push_back("quit?");
		fAllLocked = fAllLocked && IsLocked();
		return --fAgreeAfter <= 0;
	}

	void
	MessageReceived(BMessage* message) override
	{
		fEvents.push_back(message->what == kWork ? "work" : "other");
		fAllLocked = fAllLocked && IsLocked();
		fAllOnRunThread = fAllOnRunThread && find_thread(NULL) == Thread();
	}

	std::vector<std::string> fEvents;
	bool fAllLocked = true;
	bool fAllOnRunThread = true;

private:
	int fAgreeAfter;
};


TEST(ApplicationTest, RunReturnsAfterAQuitRequestPostedBeforeIt)
{
	RecordingApplication application;
	ASSERT_EQ(application.InitCheck(), B_OK);
	EXPECT_EQ(be_app, &application);

	// As an application does in its constructor, before its loop runs.
	EXPECT_EQ(be_app->PostMessage(kWork), B_OK);
	EXPECT_EQ(be_app->PostMessage(B_QUIT_REQUESTED), B_OK);
	EXPECT_EQ(be_app->PostMessage(kWork), B_OK);
	EXPECT_EQ(application.Run(), find_thread(NULL));

	EXPECT_EQ(application.fEvents,
			std::vector<std::string>({"ready", "work", "quit?"}));
	EXPECT_TRUE(application.fAllLocked);
	EXPECT_TRUE(application.fAllOnRunThread);
	// The application is locked again, as before Run().
	EXPECT_TRUE(application.IsLocked());
}


TEST(ApplicationTest, LoopRunsUntilAskedAndAgreedOrQuit)
{
	// Requests from another thread while the loop runs: the first is
	// refused, the second agreed to.
	{
		RecordingApplication application(2);
		std::thread poster([&] {
			for (int i = 0; i < 2; i++) {
				be_app->PostMessage(kWork);
				be_app->PostMessage(B_QUIT_REQUESTED);
			}
		});
		application.Run();
		poster.join();
		EXPECT_EQ(application.fEvents,
				std::vector<std::string>(
						{"ready", "work", "quit?", "work", "quit?"}));
	}

	// Quit() from another thread ends the loop without asking.
	{
		RecordingApplication application;
		std::thread quitter([&] {
			ASSERT_TRUE(be_app->Lock());
			be_app->Quit();
			be_app->Unlock();
		});
		application.Run();
		quitter.join();
		EXPECT_EQ(std::count(application.fEvents.begin(),
						  application.fEvents.end(), "quit?"),
				0);
	}
}


TEST(ApplicationTest, OnlyOneApplicationAtATime)
{
	EXPECT_EQ(be_app, nullptr);
	{
		BApplication first(kSignature);
		status_t error = B_OK;
		BApplication second(kSignature, &error);
		EXPECT_EQ(error, B_NOT_ALLOWED);
		EXPECT_EQ(second.InitCheck(), B_NOT_ALLOWED);
		EXPECT_EQ(be_app, &first);
		// An application that failed does not run.
		EXPECT_LT(second.Run(), 0);
	}
	EXPECT_EQ(be_app, nullptr);
}


TEST(ApplicationTest, SignatureMustNameAnApplicationType)
{
	// A MIME type is shorter than the platform's 240 bytes.
	std::string longest = "application/" + std::string(227, 'x');
	std::string tooLong = longest + "x";
	struct {
		const char* signature;
		status_t status;
	} cases[] = {
			{"application/x-vnd.Maker-Name", B_OK},
			{"Application/X-VND.maker", B_OK},
			{longest.c_str(), B_OK},
			{tooLong.c_str(), B_BAD_VALUE},
			{NULL, B_BAD_VALUE},
			{"", B_BAD_VALUE},
			{"application", B_BAD_VALUE},
			{"application/", B_BAD_VALUE},
			{"text/plain", B_BAD_VALUE},
			{"application/two words", B_BAD_VALUE},
			{"application/x/y", B_BAD_VALUE},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(test.signature != NULL ? test.signature : "NULL");
		BApplication application(test.signature);
		EXPECT_EQ(application.InitCheck(), test.status);
		EXPECT_EQ(be_app, test.status == B_OK ? &application : nullptr);
	}
}

} // namespace
