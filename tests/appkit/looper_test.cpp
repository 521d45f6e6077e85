/*
 * BLooper: its lock, shared by threads, and its loop.
 */
#include <Looper.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>


namespace {

const uint32 kFirst = 0x74737431; // 'tst1'


// What a looper saw, kept outside it: Quit() deletes the looper.
struct Journal {
	std::mutex lock;
	std::condition_variable changed;
	std::vector<uint32> received;
	std::vector<BHandler*> receivers;
	std::string events;
	bool allLockedOnLoopThread = true;
	int quitRequests = 0;
	bool deleted = false;

	template<typename Predicate>
	bool
	WaitFor(Predicate predicate)
	{
		std::unique_lock<std::mutex> guard(lock);
		return changed.wait_for(guard, std::chrono::seconds(10), predicate);
	}
};


class RecordingLooper : public BLooper {
public:
	RecordingLooper(Journal& journal, bool agreeToQuit = true)
		: BLooper("recording")
		, fJournal(journal)
		, fAgreeToQuit(agreeToQuit)
	{
	}

	~RecordingLooper() override
	{
		Note([this] { fJournal.deleted = true; });
	}

	void
	MessageReceived(BMessage* message) override
	{
		Record(message, this);
	}

	bool
	QuitRequested() override
	{
		Note([this] { fJournal.quitRequests++; });
		return fAgreeToQuit;
	}

	void
	Record(BMessage* message, BHandler* receiver)
	{
		Note([&] {
			fJournal.received.push_back(message->what);
			fJournal.receivers.push_back(receiver);
		});
	}

protected:
	// Notes a change, and whether it happened where it must: on the
	// looper's thread, with the looper locked.
	template<typename Change>
	void
	Note(Change change)
	{
		bool proper = IsLocked() && find_thread(NULL) == Thread();
		std::lock_guard<std::mutex> guard(fJournal.lock);
		change();
		fJournal.allLockedOnLoopThread
				= fJournal.allLockedOnLoopThread && proper;
		fJournal.changed.notify_all();
	}

	Journal& fJournal;

private:
	bool fAgreeToQuit;
};


class RecordingHandler : public BHandler {
public:
	RecordingHandler(RecordingLooper& looper)
		: fLooper(looper)
	{
	}
	void
	MessageReceived(BMessage* message) override
	{
		fLooper.Record(message, this);
	}

private:
	RecordingLooper& fLooper;
};


// A looper with a source of events of its own: a pipe.
class EventLooper : public RecordingLooper {
public:
	EventLooper(Journal& journal, int descriptor)
		: RecordingLooper(journal)
		, fDescriptor(descriptor)
	{
	}

protected:
	int
	EventDescriptor() override
	{
		return fDescriptor;
	}

	void
	DispatchEvents() override
	{
		char buffer[64];
		ssize_t count;
		while ((count = read(fDescriptor, buffer, sizeof(buffer))) > 0)
			Note([&] { fJournal.events.append(buffer, count); });
	}

private:
	int fDescriptor;
};


TEST(LooperLockTest, IsOwnedByOneThreadAndNests)
{
	BLooper* looper = new BLooper("locks");
	// A looper is locked by the thread that constructs it.
	EXPECT_TRUE(looper->IsLocked());
	EXPECT_EQ(looper->LockingThread(), find_thread(NULL));
	ASSERT_TRUE(looper->Lock());
	ASSERT_TRUE(looper->Lock());
	EXPECT_EQ(looper->CountLocks(), 3);

	std::thread([&] {
		EXPECT_FALSE(looper->IsLocked());
		EXPECT_EQ(looper->LockWithTimeout(0), B_WOULD_BLOCK);
		EXPECT_EQ(looper->LockWithTimeout(20000), B_TIMED_OUT);
		// Not the owner: this changes nothing.
		looper->Unlock();
	}).join();
	EXPECT_EQ(looper->CountLocks(), 3);

	for (int i = 0; i < 3; i++)
		looper->Unlock();
	EXPECT_FALSE(looper->IsLocked());
	EXPECT_LT(looper->LockingThread(), 0);
	std::thread([&] {
		ASSERT_EQ(looper->LockWithTimeout(0), B_OK);
		EXPECT_TRUE(looper->IsLocked());
		looper->Unlock();
	}).join();

	ASSERT_TRUE(looper->Lock());
	looper->Quit();
}


TEST(LooperLockTest, ExcludesOtherThreadsAndTheLoop)
{
	Journal journal;
	RecordingLooper* looper = new RecordingLooper(journal);
	ASSERT_GT(looper->Run(), 0);

	// Not atomic on purpose: only the looper's lock keeps the increments
	// of two threads apart, while the loop takes it for its messages.
	long counter = 0;
	const int kRounds = 20000;
	auto work = [&] {
		for (int i = 0; i < kRounds; i++) {
			ASSERT_TRUE(looper->Lock());
			counter++;
			if (i % 100 == 0)
				looper->PostMessage(kFirst);
			looper->Unlock();
		}
	};
	std::thread first(work);
	std::thread second(work);
	first.join();
	second.join();

	ASSERT_TRUE(journal.WaitFor(
			[&] { return journal.received.size() == 2 * kRounds / 100; }));
	ASSERT_TRUE(looper->Lock());
	EXPECT_EQ(counter, 2 * kRounds);
	looper->Quit();
	EXPECT_TRUE(journal.deleted);
	EXPECT_TRUE(journal.allLockedOnLoopThread);
}


TEST(LooperTest, DeliversInOrderToItsHandlersAndQuitsAfterThem)
{
	Journal journal;
	RecordingLooper* looper = new RecordingLooper(journal);
	RecordingHandler handler(*looper);
	// A handler that does not override MessageReceived passes messages on
	// to its looper.
	BHandler plain("plain");
	BHandler stranger("stranger");
	looper->AddHandler(&handler);
	looper->AddHandler(&plain);

	thread_id thread = looper->Run();
	ASSERT_GT(thread, 0);
	EXPECT_NE(thread, find_thread(NULL));
	// Run() gives up the constructor's lock.
	EXPECT_FALSE(looper->IsLocked());

	BMessage message(kFirst);
	ASSERT_EQ(looper->PostMessage(&message), B_OK);
	// The looper keeps a copy; the message stays the caller's.
	message.what = kFirst + 1;
	ASSERT_EQ(looper->PostMessage(&message, &handler), B_OK);
	ASSERT_EQ(looper->PostMessage(kFirst + 2, &plain), B_OK);
	EXPECT_EQ(looper->PostMessage(kFirst, &stranger), B_MISMATCHED_VALUES);

	// Quit() from another thread: what was posted before it is done first,
	// and the looper is gone when it returns.
	ASSERT_TRUE(looper->Lock());
	for (uint32 i = 3; i < 20; i++)
		looper->PostMessage(kFirst + i);
	ASSERT_TRUE(looper->Lock());
	looper->Quit();

	EXPECT_TRUE(journal.deleted);
	EXPECT_EQ(journal.quitRequests, 0);
	ASSERT_EQ(journal.received.size(), 20u);
	for (uint32 i = 0; i < 20; i++)
		EXPECT_EQ(journal.received[i], kFirst + i);
	EXPECT_EQ(journal.receivers[1], &handler);
	EXPECT_EQ(journal.receivers[2], looper);
	EXPECT_TRUE(journal.allLockedOnLoopThread);
	// The looper let its handlers go.
	EXPECT_EQ(handler.Looper(), nullptr);
}


TEST(LooperTest, QuitRequestIsAskedAndHonoured)
{
	for (bool agree : {false, true}) {
		SCOPED_TRACE(agree);
		Journal journal;
		RecordingLooper* looper = new RecordingLooper(journal, agree);
		ASSERT_GT(looper->Run(), 0);

		// Both are queued before the loop can act on the first: once it
		// has, the looper may be gone.
		ASSERT_TRUE(looper->Lock());
		looper->PostMessage(B_QUIT_REQUESTED);
		looper->PostMessage(kFirst);
		looper->Unlock();
		if (agree) {
			ASSERT_TRUE(journal.WaitFor([&] { return journal.deleted; }));
			EXPECT_TRUE(journal.received.empty());
		} else {
			ASSERT_TRUE(journal.WaitFor(
					[&] { return journal.received.size() == 1; }));
			EXPECT_FALSE(journal.deleted);
			ASSERT_TRUE(looper->Lock());
			looper->Quit();
		}
		EXPECT_EQ(journal.quitRequests, 1);
	}
}


TEST(LooperTest, OwnEventsWakeTheLoopBesideMessages)
{
	int events[2];
	ASSERT_EQ(pipe2(events, O_NONBLOCK | O_CLOEXEC), 0);
	Journal journal;
	EventLooper* looper = new EventLooper(journal, events[0]);
	ASSERT_GT(looper->Run(), 0);

	std::string expected;
	for (const char* chunk : {"first ", "second"}) {
		expected += chunk;
		ASSERT_EQ(write(events[1], chunk, strlen(chunk)),
				static_cast<ssize_t>(strlen(chunk)));
		ASSERT_TRUE(journal.WaitFor([&] { return journal.events == expected; }))
				<< journal.events;
	}
	looper->PostMessage(kFirst);
	ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == 1; }));
	EXPECT_TRUE(journal.allLockedOnLoopThread);

	ASSERT_TRUE(looper->Lock());
	looper->Quit();
	close(events[0]);
	close(events[1]);
}

} // namespace
