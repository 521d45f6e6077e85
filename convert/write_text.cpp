#include "convert/write_text.h"

#include "charmap/flat_map.h"
#include "charmap/options.h"
#include "convert/bus_guard.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>


namespace {

// Large enough that the system calls cost nothing, small enough to stay in
// the cache while the loop fills it.
const size_t kOutputSize = 256 * 1024;

// From this size on, a thread of its own hands the pieces to the host while
// the next one is made; below it, starting the thread costs more than it
// saves.
const size_t kThreadFrom = 4 * kOutputSize;


bool
write_all(int fd, const char* data, size_t size)
{
	while (size > 0) {
		ssize_t written = write(fd, data, size);
		if (written < 0 && errno == EINTR)
			continue;
		// Nothing written and no error: the host says no more, and errno
		// still holds whatever an earlier call left there.
		if (written == 0)
			errno = EIO;
		if (written <= 0)
			return false;
		data += written;
		size -= (size_t)written;
	}
	return true;
}


// Pieces in flight between the one who makes them and the thread that
// writes them: the maker waits only when all of them are taken.
const int kPieces = 8;


// Writes the pieces handed to it, in order, on a thread of its own.
class piece_writer {
public:
	piece_writer(int fd, char* buffer, size_t pieceSize)
		: fFd(fd)
	{
		for (int i = 0; i < kPieces; i++)
			fPiece[i] = buffer + i * pieceSize;
		fThread = std::thread([this] { Run(); });
	}

	~piece_writer() { Finish(); }

	// The next piece to fill, once it is free; NULL once a write failed.
	char*
	Next()
	{
		std::unique_lock<std::mutex> lock(fLock);
		fChanged.wait(lock, [this] { return fQueued < kPieces; });
		return fError != 0 ? NULL : fPiece[(fFirst + fQueued) % kPieces];
	}

	// Hands the piece that Next gave, holding size bytes.
	void
	Hand(size_t size)
	{
		std::unique_lock<std::mutex> lock(fLock);
		fSize[(fFirst + fQueued) % kPieces] = size;
		fQueued++;
		fChanged.notify_all();
	}

	// Waits for the last piece: 0, or the host's error of the write that
	// failed.
	int
	Finish()
	{
		if (fThread.joinable()) {
			{
				std::unique_lock<std::mutex> lock(fLock);
				fDone = true;
				fChanged.notify_all();
			}
			fThread.join();
		}
		return fError;
	}

private:
	void
	Run()
	{
		std::unique_lock<std::mutex> lock(fLock);
		while (true) {
			fChanged.wait(lock, [this] { return fQueued > 0 || fDone; });
			if (fQueued == 0)
				return;
			const char* data = fPiece[fFirst];
			size_t size = fSize[fFirst];
			lock.unlock();
			int error = fError == 0 && !write_all(fFd, data, size) ? errno : 0;
			// The disk starts on each piece at once, so that the sync
			// before the new text takes its name finds little left to
			// write. Only a hint: that sync reports what fails.
			if (error == 0)
				sync_file_range(fFd, fWritten, size, SYNC_FILE_RANGE_WRITE);
			fWritten += size;
			lock.lock();
			if (fError == 0)
				fError = error;
			fFirst = (fFirst + 1) % kPieces;
			fQueued--;
			fChanged.notify_all();
		}
	}

	int fFd;
	off_t fWritten = 0; // by this thread, up to the piece at hand
	char* fPiece[kPieces];
	size_t fSize[kPieces] = {};
	int fFirst = 0;  // the next piece to write
	int fQueued = 0; // pieces handed and not yet written
	bool fDone = false;
	int fError = 0;
	std::mutex fLock;
	std::condition_variable fChanged;
	std::thread fThread;
};


struct write_job {
	int fd;
	const flat_map* flat;
	const uint8_t* data;
	size_t length;
	char* output;
	piece_writer* writer; // NULL: written here
	int error;
	text_checksum checksum;
};


void
write_bytes(void* cookie)
{
	write_job* job = (write_job*)cookie;
	size_t position = 0;
	while (position < job->length) {
		char* output = job->writer != NULL ? job->writer->Next() : job->output;
		if (output == NULL) {
			job->error = job->writer->Finish();
			return;
		}
		size_t size = map_bytes(*job->flat, job->data, job->length, position,
				output, kOutputSize);
		// While the piece is still in the cache: the stamp then costs no
		// second reading of the new file.
		job->checksum.Add(output, size);
		if (job->writer != NULL) {
			job->writer->Hand(size);
		} else if (!write_all(job->fd, output, size)) {
			job->error = errno;
			return;
		}
	}
}

} // namespace


int
write_converted(int fd, mt* map, const uint8_t* data, size_t length,
		bool mapped, conversion_stamp& written)
{
	flat_map flat;
	flatten_map(map, nyl_mod, flat);
	write_job job = {fd, &flat, data, length, NULL, NULL, 0, {}};
	if (!job.checksum.Ready())
		return ENOMEM;
	bool threaded = length >= kThreadFrom;
	char* output
			= (char*)malloc(threaded ? kPieces * kOutputSize : kOutputSize);
	if (output == NULL)
		return ENOMEM;
	job.output = output;
	// Outside the guarded work, which a fault leaves without unwinding.
	piece_writer* writer = NULL;
	if (threaded) {
		try {
			writer = new piece_writer(fd, output, kOutputSize);
		} catch (...) {
			writer = NULL; // no thread to be had: written here
		}
	}
	job.writer = writer;
	// Only a mapping of the source can fault when it is cut short.
	bool finished = true;
	if (mapped)
		finished = run_guarded(data, length, write_bytes, &job);
	else
		write_bytes(&job);
	if (writer != NULL) {
		int error = writer->Finish();
		if (job.error == 0)
			job.error = error;
		delete writer;
	}
	free(output);
	// The disk starts on the tail of a large text at once. Small ones are
	// left to the batch's sync, which writes them together for less.
	if (finished && job.error == 0 && threaded)
		sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
	written.size = job.checksum.Size();
	written.checksum = job.checksum.Result();
	return finished ? job.error : kSourceFault;
}
