/*
 * BMessage: entry references by name and index.
 */
#include <Message.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {

TEST(MessageTest, FindRefAnswersEveryStoredIndexAndNoOther)
{
	for (int count : {0, 1, 3, 50}) {
		SCOPED_TRACE(count);
		BMessage message(B_REFS_RECEIVED);
		std::vector<entry_ref> refs;
		for (int i = 0; i < count; i++) {
			refs.emplace_back(
					3, 100 + i, ("file " + std::to_string(i)).c_str());
			ASSERT_EQ(message.AddRef("refs", &refs.back()), B_OK);
		}

		entry_ref found;
		for (int i = 0; i < count; i++) {
			ASSERT_EQ(message.FindRef("refs", i, &found), B_OK);
			EXPECT_EQ(found, refs[i]);
		}
		EXPECT_NE(message.FindRef("refs", count, &found), B_OK);
		EXPECT_NE(message.FindRef("refs", -1, &found), B_OK);
	}
}


TEST(MessageTest, FailuresAreNamedAndFieldsKeptApart)
{
	BMessage message;
	entry_ref first(1, 2, "first");
	entry_ref other(1, 3, "other");
	entry_ref nameless;
	ASSERT_EQ(message.AddRef("refs", &first), B_OK);
	ASSERT_EQ(message.AddRef("other", &other), B_OK);
	ASSERT_EQ(message.AddRef("refs", &nameless), B_OK);

	entry_ref found;
	struct {
		const char* name;
		int32 index;
		entry_ref* ref;
		status_t status;
		const entry_ref* expected;
	} cases[] = {
			{"refs", 0, &found, B_OK, &first},
			{"refs", 1, &found, B_OK, &nameless},
			{"other", 0, &found, B_OK, &other},
			{"refs", 2, &found, B_BAD_INDEX, NULL},
			{"refs", -1, &found, B_BAD_INDEX, NULL},
			{"none", 0, &found, B_NAME_NOT_FOUND, NULL},
			{"REFS", 0, &found, B_NAME_NOT_FOUND, NULL},
			{NULL, 0, &found, B_BAD_VALUE, NULL},
			{"refs", 0, NULL, B_BAD_VALUE, NULL},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(testing::Message()
				<< (test.name ? test.name : "NULL") << " " << test.index);
		EXPECT_EQ(
				message.FindRef(test.name, test.index, test.ref), test.status);
		if (test.expected != NULL) {
			EXPECT_EQ(found, *test.expected);
		}
	}

	type_code type = 0;
	int32 count = 0;
	ASSERT_EQ(message.GetInfo("refs", &type, &count), B_OK);
	EXPECT_EQ(type, static_cast<type_code>(B_REF_TYPE));
	EXPECT_EQ(count, 2);
	EXPECT_EQ(message.CountNames(B_ANY_TYPE), 2);
	EXPECT_EQ(message.AddRef(NULL, &first), B_BAD_VALUE);
	EXPECT_EQ(message.AddRef("refs", NULL), B_BAD_VALUE);
}


TEST(MessageTest, CopiesAreIndependent)
{
	BMessage original(B_REFS_RECEIVED);
	entry_ref ref(7, 8, "kept");
	original.AddRef("refs", &ref);

	BMessage copy(original);
	BMessage assigned;
	assigned = original;
	original.MakeEmpty();
	original.what = 0;

	EXPECT_TRUE(original.IsEmpty());
	for (const BMessage* message : {&copy, &assigned}) {
		EXPECT_EQ(message->what, static_cast<uint32>(B_REFS_RECEIVED));
		entry_ref found;
		ASSERT_EQ(message->FindRef("refs", 0, &found), B_OK);
		EXPECT_EQ(found, ref);
	}
}

} // namespace
