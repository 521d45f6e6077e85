/*
 * BNode, BNodeInfo and BMimeType: a node's MIME type.
 */
#include "support/files.h"

#include <Mime.h>
#include <NodeInfo.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <string>
#include <vector>

using std::string;


namespace {

const char kTypeName[] = "user.haiku.BEOS:TYPE";
// 'MIMS', as the type attribute's type code.
const uint32 kMimeStringType = 0x4D494D53;


string
raw_value(uint32 type, const string& value)
{
	return string((const char*)&type, sizeof(type)) + value;
}


string
type_of(const string& path)
{
	BNode node(path.c_str());
	BNodeInfo info(&node);
	char type[B_MIME_TYPE_LENGTH];
	status_t status = info.GetType(type);
	return status == B_OK ? string(type)
						  : "<status " + std::to_string(status) + ">";
}


class NodeInfoTest : public testing::Test {
protected:
	void
	SetUp() override
	{
		ASSERT_FOLDER_HAS_XATTRS(fScratch);
	}

	test::Folder fScratch {"storage"};
};

} // namespace


TEST(MimeType, Validity)
{
	const string kLongest = "text/" + string(B_MIME_TYPE_LENGTH - 6, 'x');
	const char* kValid[] = {"text/plain", "text", "image/svg+xml",
			"application/x-vnd.Be-elfexecutable", "A/b-c_d.1~!#$%&'*^`{|}",
			kLongest.c_str()};
	const char* kInvalid[] = {NULL, "", "/plain", "text/", "/", "a/b/c", "a//b",
			"te xt", "text\t", "a/b\x7F", "t\xC3\xA9xt", "a/b;c=d", "a/(b)",
			"a/<b>", "a/b@c", "a/b,c", "a/b:c", "a/\"b\"", "a/b\\c", "a/[b]",
			"a/b?"};
	for (const char* type : kValid)
		EXPECT_TRUE(BMimeType::IsValid(type)) << type;
	for (const char* type : kInvalid)
		EXPECT_FALSE(BMimeType::IsValid(type)) << (type ? type : "NULL");
	EXPECT_FALSE(BMimeType::IsValid((kLongest + "x").c_str()));
	EXPECT_EQ(B_MIME_TYPE_LENGTH, 240);
}


TEST_F(NodeInfoTest, SetTypeWritesTheTypeAttribute)
{
	string path = fScratch.add_file("file", "data");
	BNode node(path.c_str());
	ASSERT_EQ(node.InitCheck(), B_OK);
	BNodeInfo info(&node);
	ASSERT_EQ(info.InitCheck(), B_OK);
	char type[B_MIME_TYPE_LENGTH];
	EXPECT_EQ(info.GetType(type), B_ENTRY_NOT_FOUND);

	ASSERT_EQ(info.SetType("text/html"), B_OK);
	char raw[64];
	ssize_t size = getxattr(path.c_str(), kTypeName, raw, sizeof(raw));
	EXPECT_EQ(string(raw, size > 0 ? size : 0),
			raw_value(kMimeStringType, string("text/html", 10)));
	EXPECT_EQ(type_of(path), "text/html");

	// Validity is the caller's business: what is given is stored.
	ASSERT_EQ(info.SetType("not a type"), B_OK);
	EXPECT_EQ(type_of(path), "not a type");

	const string kLongest(B_MIME_TYPE_LENGTH - 1, 't');
	ASSERT_EQ(info.SetType(kLongest.c_str()), B_OK);
	EXPECT_EQ(type_of(path), kLongest);
	EXPECT_EQ(info.SetType((kLongest + "t").c_str()), B_BAD_VALUE);
	EXPECT_EQ(type_of(path), kLongest) << "a refused type replaced the old";

	ASSERT_EQ(info.SetType(NULL), B_OK);
	EXPECT_EQ(info.GetType(type), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(info.SetType(NULL), B_OK) << "removing a missing type";
}


TEST_F(NodeInfoTest, TypesWrittenByOthers)
{
	string path = fScratch.add_file("file", "data");
	auto bad = [](status_t status) {
		return "<status " + std::to_string(status) + ">";
	};
	const struct {
		string raw;
		string expected;
	} kCases[] = {
			{raw_value(kMimeStringType, string("text/x", 7)), "text/x"},
			{raw_value(kMimeStringType, "text/plain"), "text/plain"},
			{raw_value(kMimeStringType, ""), ""},
			{raw_value(kMimeStringType, string("a/b\0junk", 8)), "a/b"},
			{raw_value(B_STRING_TYPE, string("a/b", 4)), bad(B_BAD_TYPE)},
			{raw_value(kMimeStringType, string(300, 'x')), bad(B_BAD_DATA)},
			{raw_value(kMimeStringType, string(B_MIME_TYPE_LENGTH, 'y')),
					bad(B_BAD_DATA)},
			{"ab", bad(B_BAD_DATA)},
	};
	for (const auto& test : kCases) {
		ASSERT_EQ(setxattr(path.c_str(), kTypeName, test.raw.data(),
						  test.raw.size(), 0),
				0);
		EXPECT_EQ(type_of(path), test.expected) << test.raw;
	}
}


TEST_F(NodeInfoTest, NodesOfOtherKindsAndNone)
{
	string folder = fScratch.add_folder("folder");
	BNode folderNode(folder.c_str());
	BNodeInfo folderInfo(&folderNode);
	EXPECT_EQ(folderInfo.SetType("application/x-vnd.Be-directory"), B_OK);
	EXPECT_EQ(type_of(folder), "application/x-vnd.Be-directory");

	// A link is followed to its node.
	string file = fScratch.add_file("file", "x");
	BNode linkNode(fScratch.add_link("link", "file").c_str());
	BNodeInfo linkInfo(&linkNode);
	EXPECT_EQ(linkInfo.SetType("text/plain"), B_OK);
	EXPECT_EQ(type_of(file), "text/plain");

	BNode missing((fScratch / "missing").c_str());
	EXPECT_EQ(missing.InitCheck(), B_ENTRY_NOT_FOUND);
	BNodeInfo missingInfo(&missing);
	EXPECT_EQ(missingInfo.InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(missingInfo.SetType("text/plain"), B_NO_INIT);
	EXPECT_EQ(BNodeInfo(NULL).InitCheck(), B_BAD_VALUE);
}
