// People's files come first: whatever fails, the file is either converted
// whole or left as it was.
#include "convert/convert.h"
#include "support/files.h"

#include <gtest/gtest.h>

namespace {

using test::ChildOptions;
using test::Folder;
using test::read_file;
using test::write_file;

test::ChildResult
convert_in_child(const Folder& folder, const std::string& path,
		const ChildOptions& options)
{
	return test::run_child(folder / "stdout", options, [path]() {
		std::string copy = path;
		AlyBFile(copy.data());
	});
}

// Permissions hold for root only once the child has given them up.
ChildOptions
as_user()
{
	ChildOptions options;
	options.asNobody = true;
	return options;
}

#define SKIP_IF_CHILD_FAILED(result)                                           \
	if ((result).status == test::kChildSetupFailed)                            \
	GTEST_SKIP() << "could not run the child as an unprivileged user: "        \
				 << (result).errors

TEST(Safety, ReadOnlySourceIsConverted)
{
	Folder folder(test::Reach::kChild);
	test::give_to_child(folder.path());
	std::string path = folder / "ro.txt";
	write_file(path, "K\xE4se\n", 0444);
	test::give_to_child(path);

	auto result = convert_in_child(folder, path, as_user());
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(result.status, 0);
	EXPECT_EQ(read_file(path), "Käse\n");
	EXPECT_EQ(read_file(path + "-BAK"), "K\xE4se\n");
	EXPECT_EQ(test::mode_of(path) & 0777, 0444u);
}

TEST(Safety, UnreadableSourceIsLeftAlone)
{
	Folder folder(test::Reach::kChild);
	test::give_to_child(folder.path());
	std::string path = folder / "secret.txt";
	write_file(path, "K\xE4se\n", 0);

	auto result = convert_in_child(folder, path, as_user());
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(result.output, "\n\tBFile error");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	chmod(path.c_str(), 0600);
	EXPECT_EQ(read_file(path), "K\xE4se\n");
}

TEST(Safety, MissingFileOrFolderIsLeftAlone)
{
	Folder folder;
	for (std::string path : {folder / "missing", folder.path()}) {
		testing::internal::CaptureStdout();
		AlyBFile(path.data());
		fflush(stdout);
		EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\tBFile error");
		EXPECT_FALSE(test::exists(path + "-BAK"));
	}
}

TEST(Safety, FailedRenameLeavesTheFileAlone)
{
	Folder folder(test::Reach::kChild);
	std::string path = folder / "locked.txt";
	write_file(path, "K\xE4se\n", 0644);
	test::give_to_child(path);
	chmod(folder.path().c_str(), 0555); // nobody may rename in here

	auto result = convert_in_child(folder, path, as_user());
	chmod(folder.path().c_str(), 0755);
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(read_file(path), "K\xE4se\n");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	EXPECT_NE(
			result.errors.find("the file is left as it was"), std::string::npos)
			<< result.errors;
	EXPECT_EQ(result.output, "\t") << "nothing was renamed";
}

TEST(Safety, FailedWriteRestoresTheSource)
{
	Folder folder;
	std::string path = folder / "big.txt";
	std::string text;
	for (int i = 0; i < 20000; i++)
		text += "Gr\x81\xE1"
				"e aus K\x94ln\r\n";
	write_file(path, text, 0640);

	ChildOptions options;
	options.fileSizeLimit = 64 * 1024;
	auto result = convert_in_child(folder, path, options);
	EXPECT_EQ(result.status, 0);
	EXPECT_EQ(read_file(path), text);
	EXPECT_FALSE(test::exists(path + "-BAK"));
	EXPECT_EQ(test::mode_of(path) & 0777, 0640u);
	EXPECT_NE(result.errors.find("cannot write '" + path + "': File too large"),
			std::string::npos)
			<< result.errors;
}

TEST(Safety, TargetThatCannotBeCreatedRestoresTheSource)
{
#if defined(__SANITIZE_ADDRESS__)
	GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");

	ChildOptions options;
	options.lastDescriptor = true;
	auto result = convert_in_child(folder, path, options);
	EXPECT_EQ(result.status, 0);
	EXPECT_EQ(read_file(path), "K\xE4se\n");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	EXPECT_NE(result.output.find("\n No Target access !\n"), std::string::npos)
			<< result.output;
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(Safety, FileBeyondMemoryIsNeverCut)
{
	Folder folder;
	std::string path = folder / "huge.txt";
	std::string text(256 * 1024 * 1024, 'a');
	text[100] = '\xE4';
	write_file(path, text);
	text.clear();
	text.shrink_to_fit();

	ChildOptions options;
	options.addressSpaceLimit = 192 * 1024 * 1024;
	auto result = convert_in_child(folder, path, options);
	EXPECT_EQ(result.status, 0);
	EXPECT_NE(result.errors.find("is left as it was"), std::string::npos)
			<< result.errors;
	EXPECT_EQ(result.output, "");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	struct stat st;
	ASSERT_EQ(stat(path.c_str(), &st), 0);
	EXPECT_EQ(st.st_size, 256 * 1024 * 1024);
}
#endif

TEST(Safety, PathsLongerThanAnyFixedBuffer)
{
	Folder folder;
	std::string path = folder.path();
	while (path.size() < 1500) {
		path += "/" + std::string(200, 'd');
		ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
	}
	path += "/" + std::string(250, 'f');
	write_file(path, "\x84\r\n");
	testing::internal::CaptureStdout();
	AlyBFile(path.data());
	fflush(stdout);
	std::string output = testing::internal::GetCapturedStdout();
	EXPECT_EQ(read_file(path), "ä\n");
	EXPECT_EQ(read_file(path + "-BAK"), "\x84\r\n");
	EXPECT_NE(output.find(path + "-BAK'"), std::string::npos);
}

} // namespace
