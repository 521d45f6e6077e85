/*
 * The attribute calls, on the host's extended attributes.
 */
#include "support/files.h"

#include <fs_attr.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <string.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

using std::string;
typedef std::multiset<string> Names;


namespace {

// The on-disk value: the type code in host byte order, then the bytes.
string
raw_value(uint32 type, const string& value)
{
	return string((const char*)&type, sizeof(type)) + value;
}


string
read_raw(const string& path, const string& name)
{
	std::vector<char> buffer(70000);
	ssize_t size = getxattr(
			path.c_str(), name.c_str(), buffer.data(), buffer.size());
	return size < 0 ? string("<missing>") : string(buffer.data(), size);
}


void
write_raw(const string& path, const string& name, const string& value)
{
	EXPECT_EQ(
			setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0),
			0)
			<< name << ": " << strerror(errno);
}


Names
listed_names(DIR* dir)
{
	Names names;
	while (struct dirent* entry = fs_read_attr_dir(dir))
		names.insert(entry->d_name);
	return names;
}


Names
listed_names(const string& path)
{
	DIR* dir = fs_open_attr_dir(path.c_str());
	if (dir == NULL)
		return {"<no directory>"};
	Names names = listed_names(dir);
	fs_close_attr_dir(dir);
	return names;
}


// The type and the whole value, as the calls give them.
string
read_attr(int fd, const char* name)
{
	attr_info info;
	if (fs_stat_attr(fd, name, &info) != 0)
		return "<stat: " + string(strerror(errno)) + ">";
	std::vector<char> buffer(info.size + 1);
	ssize_t size = fs_read_attr(
			fd, name, info.type, 0, buffer.data(), buffer.size());
	if (size != info.size)
		return "<read: " + string(strerror(errno)) + ">";
	return raw_value(info.type, string(buffer.data(), size));
}


// The call in the argument has run and failed with error; errno is cleared
// for the next one.
void
expect_failure(long result, int error, const char* what)
{
	EXPECT_EQ(result, -1) << what;
	EXPECT_EQ(errno, error) << what;
	errno = 0;
}


void
expect_failure(const void* result, int error, const char* what)
{
	expect_failure(result == NULL ? -1L : 0L, error, what);
}


class AttrTest : public testing::Test {
protected:
	void
	SetUp() override
	{
		ASSERT_FOLDER_HAS_XATTRS(fScratch);
		fPath = fScratch.add_file("file", "data");
		fFd = open(fPath.c_str(), O_RDWR);
		ASSERT_GE(fFd, 0);
		errno = 0;
	}

	void
	TearDown() override
	{
		if (fFd >= 0)
			close(fFd);
	}

	test::Folder fScratch {"storage"};
	string fPath;
	int fFd = -1;
};


const int32_t kInt32 = -123456789;
const int64_t kInt64 = 0x0123456789ABCDEFLL;

const struct {
	const char* name;
	uint32 type;
	string value;
	const char* hostName;
} kValues[] = {
		{"BEOS:TYPE", B_MIME_STRING_TYPE, string("text/plain", 11),
				"user.haiku.BEOS:TYPE"},
		{"Mail:subject", B_STRING_TYPE, string("Grüße\0", 8),
				"user.haiku.Mail:subject"},
		{"count", B_INT32_TYPE, string((const char*)&kInt32, 4),
				"user.haiku.count"},
		{"stamp", B_INT64_TYPE, string((const char*)&kInt64, 8),
				"user.haiku.stamp"},
		{"empty", B_RAW_TYPE, "", "user.haiku.empty"},
		{"binary", B_RAW_TYPE, string("\0\x01\0\xFF\0", 5),
				"user.haiku.binary"},
		{"a/b", B_STRING_TYPE, string("slash", 6), "user.haiku.a%\\b"},
		{"100%", B_STRING_TYPE, string("percent", 8), "user.haiku.100%%"},
		{"%\\/%", B_RAW_TYPE, "x", "user.haiku.%%\\%\\%%"},
		{"/", B_RAW_TYPE, "root", "user.haiku.%\\"},
};

} // namespace


TEST_F(AttrTest, ValuesOfEveryKindKeepTheOnDiskFormatBothWays)
{
	Names names;
	for (const auto& value : kValues) {
		string raw = raw_value(value.type, value.value);
		EXPECT_EQ(fs_write_attr(fFd, value.name, value.type, 0,
						  value.value.data(), value.value.size()),
				(ssize_t)value.value.size())
				<< value.name << ": " << strerror(errno);
		EXPECT_EQ(read_raw(fPath, value.hostName), raw) << value.name;
		EXPECT_EQ(read_attr(fFd, value.name), raw) << value.name;

		ASSERT_EQ(removexattr(fPath.c_str(), value.hostName), 0);
		write_raw(fPath, value.hostName, raw);
		EXPECT_EQ(read_attr(fFd, value.name), raw) << value.name;
		names.insert(value.name);
	}
	EXPECT_EQ(listed_names(fPath), names);
}


TEST_F(AttrTest, ManyAttributesOnOneFile)
{
	Names names;
	for (int32_t i = 0; i < 50; i++) {
		string name = "attr-" + std::to_string(i);
		ASSERT_EQ(fs_write_attr(fFd, name.c_str(), B_INT32_TYPE, 0, &i, 4), 4)
				<< name << ": " << strerror(errno);
		names.insert(name);
	}
	DIR* dir = fs_fopen_attr_dir(fFd);
	ASSERT_NE(dir, nullptr);
	EXPECT_EQ(listed_names(dir), names);
	EXPECT_EQ(fs_read_attr_dir(dir), nullptr) << "the end stays the end";
	fs_rewind_attr_dir(dir);
	EXPECT_EQ(listed_names(dir), names) << "after rewinding";
	fs_close_attr_dir(dir);
	for (int32_t i = 0; i < 50; i++) {
		EXPECT_EQ(read_attr(fFd, ("attr-" + std::to_string(i)).c_str()),
				raw_value(B_INT32_TYPE, string((const char*)&i, 4)));
	}
}


TEST_F(AttrTest, OtherExtendedAttributesAreNeitherListedNorTouched)
{
	const char* kForeign[]
			= {"user.other", "user.haiku", "user.haikuX.a", "user.HAIKU.a"};
	for (const char* name : kForeign)
		write_raw(fPath, name, "foreign");
	fs_write_attr(fFd, "other", B_RAW_TYPE, 0, "ours", 4);

	EXPECT_EQ(listed_names(fPath), Names {"other"});
	EXPECT_EQ(fs_remove_attr(fFd, "other"), 0);
	EXPECT_EQ(listed_names(fPath), Names {});
	for (const char* name : kForeign)
		EXPECT_EQ(read_raw(fPath, name), "foreign") << name;
}


TEST_F(AttrTest, MalformedRawAttributes)
{
	// Names that do not decode, or decode to nothing, are not ours.
	for (const char* name : {"user.haiku.a%x", "user.haiku.a%", "user.haiku."})
		write_raw(fPath, name, raw_value(B_RAW_TYPE, "x"));
	// Values shorter than their type code are listed but cannot be read.
	write_raw(fPath, "user.haiku.short", "ab");
	write_raw(fPath, "user.haiku.none", "");

	EXPECT_EQ(listed_names(fPath), (Names {"short", "none"}));
	char buffer[8];
	attr_info info;
	for (const char* name : {"short", "none"}) {
		expect_failure(fs_stat_attr(fFd, name, &info), EBADMSG, name);
		expect_failure(fs_read_attr(fFd, name, B_RAW_TYPE, 0, buffer, 8),
				EBADMSG, name);
		// Writing past the start would have to keep what is not there.
		expect_failure(
				fs_write_attr(fFd, name, B_RAW_TYPE, 2, "x", 1), EBADMSG, name);
		// Writing at the start replaces the value whole.
		EXPECT_EQ(fs_write_attr(fFd, name, B_RAW_TYPE, 0, "ok", 2), 2) << name;
		EXPECT_EQ(read_attr(fFd, name), raw_value(B_RAW_TYPE, "ok")) << name;
	}
}


TEST_F(AttrTest, AttributeThatVanishesAfterListing)
{
	fs_write_attr(fFd, "first", B_RAW_TYPE, 0, "1", 1);
	fs_write_attr(fFd, "second", B_RAW_TYPE, 0, "2", 1);
	DIR* dir = fs_fopen_attr_dir(fFd);
	ASSERT_NE(dir, nullptr) << strerror(errno);
	ASSERT_EQ(removexattr(fPath.c_str(), "user.haiku.first"), 0);
	ASSERT_EQ(removexattr(fPath.c_str(), "user.haiku.second"), 0);

	int seen = 0;
	attr_info info;
	char buffer[4];
	while (struct dirent* entry = fs_read_attr_dir(dir)) {
		seen++;
		const char* name = entry->d_name;
		expect_failure(fs_stat_attr(fFd, name, &info), ENOENT, name);
		expect_failure(fs_read_attr(fFd, name, B_RAW_TYPE, 0, buffer, 4),
				ENOENT, name);
		expect_failure(fs_remove_attr(fFd, name), ENOENT, name);
	}
	EXPECT_EQ(seen, 2);
	EXPECT_EQ(fs_close_attr_dir(dir), 0);
}


TEST_F(AttrTest, WritingAndReadingAtPositions)
{
	const struct {
		off_t pos;
		const char* data;
		uint32 type;
		string expected;
	} kWrites[] = {
			{0, "hello", B_STRING_TYPE, "hello"},
			{3, "XY", B_RAW_TYPE, "helXY"},
			{7, "ab", B_RAW_TYPE, string("helXY\0\0ab", 9)},
			{0, "z", B_INT32_TYPE, "z"},
	};
	for (const auto& write : kWrites) {
		size_t size = strlen(write.data);
		EXPECT_EQ(fs_write_attr(fFd, "value", write.type, write.pos, write.data,
						  size),
				(ssize_t)size);
		EXPECT_EQ(
				read_attr(fFd, "value"), raw_value(write.type, write.expected))
				<< "at " << write.pos;
	}
	// Written past the start, a new attribute begins with zero bytes.
	EXPECT_EQ(fs_write_attr(fFd, "new", B_RAW_TYPE, 2, "n", 1), 1);
	EXPECT_EQ(read_attr(fFd, "new"), raw_value(B_RAW_TYPE, string("\0\0n", 3)));

	fs_write_attr(fFd, "value", B_RAW_TYPE, 0, "0123456789", 10);
	const struct {
		off_t pos;
		size_t count;
		string expected;
	} kReads[] = {{0, 4, "0123"}, {6, 100, "6789"}, {10, 5, ""}, {99, 5, ""}};
	for (const auto& read : kReads) {
		char buffer[100];
		ssize_t size = fs_read_attr(
				fFd, "value", B_RAW_TYPE, read.pos, buffer, read.count);
		ASSERT_EQ(size, (ssize_t)read.expected.size()) << "at " << read.pos;
		EXPECT_EQ(string(buffer, size), read.expected) << "at " << read.pos;
	}
}


TEST_F(AttrTest, ValuesUpToTheFileSystemLimit)
{
	// The largest value this file system takes, found by halving.
	std::vector<char> value(65536);
	for (size_t i = 0; i < value.size(); i++)
		value[i] = (char)(i * 7);
	size_t fits = 0;
	size_t fails = value.size();
	while (fails - fits > 1) {
		size_t size = (fits + fails) / 2;
		if (fs_write_attr(fFd, "big", B_RAW_TYPE, 0, value.data(), size)
				== (ssize_t)size)
			fits = size;
		else
			fails = size;
	}
	ASSERT_GT(fits, 1000u);

	string expected = raw_value(B_RAW_TYPE, string(value.data(), fits));
	ASSERT_EQ(fs_write_attr(fFd, "big", B_RAW_TYPE, 0, value.data(), fits),
			(ssize_t)fits);
	EXPECT_EQ(read_attr(fFd, "big"), expected);
	EXPECT_EQ(fs_write_attr(fFd, "big", B_RAW_TYPE, 0, value.data(), fits + 1),
			-1);
	EXPECT_EQ(read_attr(fFd, "big"), expected) << "a failed write changed it";

	// Beyond what any value can hold, nothing is tried.
	expect_failure(fs_write_attr(fFd, "big", B_RAW_TYPE, 1LL << 40, "x", 1),
			E2BIG, "far position");
	expect_failure(fs_write_attr(fFd, "big", B_RAW_TYPE, 0, "x", SIZE_MAX),
			E2BIG, "huge size");
}


TEST_F(AttrTest, BadArgumentsFailWithErrno)
{
	char buffer[4];
	attr_info info;
	string longName(300, 'n');
	DIR* unknownDir = (DIR*)buffer;
	expect_failure(fs_read_attr(fFd, NULL, 0, 0, buffer, 4), EINVAL, "name");
	expect_failure(fs_read_attr(fFd, "a", 0, 0, NULL, 4), EINVAL, "buffer");
	expect_failure(fs_write_attr(fFd, "a", 0, -1, buffer, 4), EINVAL, "pos");
	expect_failure(fs_write_attr(fFd, longName.c_str(), 0, 0, buffer, 4),
			ENAMETOOLONG, "long name");
	expect_failure(fs_stat_attr(fFd, "missing", &info), ENOENT, "stat");
	expect_failure(fs_read_attr(9999, "a", 0, 0, buffer, 4), EBADF, "fd");
	expect_failure(fs_open_attr_dir(NULL), EINVAL, "path");
	expect_failure(fs_open_attr_dir((fScratch / "missing").c_str()), ENOENT,
			"missing path");
	expect_failure(fs_read_attr_dir(unknownDir), EBADF, "unknown dir");
	expect_failure(fs_close_attr_dir(unknownDir), EBADF, "unknown dir");

	DIR* dir = fs_open_attr_dir(fPath.c_str());
	ASSERT_NE(dir, nullptr);
	EXPECT_EQ(fs_close_attr_dir(dir), 0);
	expect_failure(fs_close_attr_dir(dir), EBADF, "closed twice");
}


TEST_F(AttrTest, SymbolicLinksAreTakenAsGiven)
{
	fs_write_attr(fFd, "target", B_RAW_TYPE, 0, "t", 1);
	string link = fScratch.add_link("link", fPath);
	EXPECT_EQ(listed_names(link), Names {"target"}) << "follows the link";
	DIR* dir = fs_lopen_attr_dir(link.c_str());
	ASSERT_NE(dir, nullptr) << strerror(errno);
	EXPECT_EQ(listed_names(dir), Names {}) << "the link's own";
	fs_close_attr_dir(dir);

	// A descriptor on the link itself: its attributes, not the target's.
	int linkFd = open(link.c_str(), O_PATH | O_NOFOLLOW);
	ASSERT_GE(linkFd, 0);
	dir = fs_fopen_attr_dir(linkFd);
	ASSERT_NE(dir, nullptr) << strerror(errno);
	EXPECT_EQ(listed_names(dir), Names {});
	fs_close_attr_dir(dir);
	attr_info info;
	expect_failure(fs_stat_attr(linkFd, "target", &info), ENOENT, "stat");
	// The host keeps no user attributes on links.
	EXPECT_EQ(fs_write_attr(linkFd, "mine", B_RAW_TYPE, 0, "m", 1), -1);
	close(linkFd);
}


TEST(AttrWithoutXattrs, CallsFailOnAFileSystemWithoutThem)
{
	// procfs has no extended attributes on any Linux.
	const char* kPath = "/proc/self/status";
	int fd = open(kPath, O_RDONLY);
	if (fd < 0)
		GTEST_SKIP() << "no " << kPath;

	attr_info info;
	char buffer[4];
	errno = 0;
	expect_failure(fs_open_attr_dir(kPath), ENOTSUP, "open");
	expect_failure(fs_fopen_attr_dir(fd), ENOTSUP, "fopen");
	expect_failure(fs_stat_attr(fd, "a", &info), ENOTSUP, "stat");
	expect_failure(fs_read_attr(fd, "a", 0, 0, buffer, 4), ENOTSUP, "read");
	EXPECT_EQ(fs_write_attr(fd, "a", 0, 0, buffer, 4), -1);
	EXPECT_EQ(fs_remove_attr(fd, "a"), -1);
	close(fd);
}
