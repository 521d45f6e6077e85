// Which entries of a selection the batch converts.
#include "addon/acceptance.h"

#include <gtest/gtest.h>

namespace {

TEST(Acceptance, ModeRangeBounds)
{
	const struct {
		uint32_t mode;
		bool inRange;
	} cases[] = {
			{0x41FF, false},
			{0x4200, false},
			{0x4201, true},
			{0x6000, true},
			{0x81A4, true},
			{0x8400, true},
			{0x8401, false},
			{0x89ED, false},
			{0xA1FF, false},
			{0x18000, false},
	};
	for (const auto& c : cases)
		EXPECT_EQ(mode_in_range(c.mode), c.inRange) << std::hex << c.mode;
}

TEST(Acceptance, OnlyRegularFilesWithData)
{
	const struct {
		mode_t mode;
		off_t size;
		bool accepted;
	} cases[] = {
			{0100644, 10, true},
			{0100755, 1, true},
			{0102000, 10, true}, // set-group-ID, no permission: the range's top
			{0102001, 10, false},  // just above it
			{0104755, 10, false},  // set-user-ID
			{0100644, 0, false},   // nothing to convert
			{041001, 4096, false}, // a folder in the range
			{042775, 4096, false}, // a shared folder, set-group-ID
			{060660, 1, false},    // a block device
			{0120777, 10, false},  // a symbolic link
			{040755, 4096, false},
	};
	for (const auto& c : cases) {
		struct stat st = {};
		st.st_mode = c.mode;
		st.st_size = c.size;
		EXPECT_EQ(accepts(st), c.accepted) << std::oct << c.mode;
	}
}

} // namespace
