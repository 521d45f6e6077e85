/*
 * The program image's two faces: what it exports to a host that loads it,
 * and how it runs as a program.
 */
#include "support/child.h"

#include <gtest/gtest.h>

#include <link.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>


namespace {

const std::string kTestImage = TEXTWEND_TEST_IMAGE;


std::vector<std::string>
images()
{
	std::vector<std::string> images = {kTestImage};
#ifdef TEXTWEND_REAL_IMAGE
	images.push_back(TEXTWEND_REAL_IMAGE);
#endif
	return images;
}


// The names that the image's dynamic symbol table defines.
std::set<std::string>
defined_dynamic_symbols(const std::string& image)
{
	test::ChildResult run
			= test::run_program({TEXTWEND_NM, "-D", "--defined-only", image});
	EXPECT_EQ(run.status, 0) << run.errors;

	std::set<std::string> names;
	for (const std::vector<std::string>& line : test::split_lines(run.output)) {
		// "address type name"
		size_t space = line[0].rfind(' ');
		if (space != std::string::npos)
			names.insert(line[0].substr(space + 1));
	}
	return names;
}


struct ElfFacts {
	bool valid = false;
	uint16_t type = 0;
	uint64_t entry = 0;
	std::string interpreter;
};


ElfFacts
read_elf(const std::string& image)
{
	ElfFacts facts;
	std::ifstream stream(image, std::ios::binary);
	std::string bytes((std::istreambuf_iterator<char>(stream)),
			std::istreambuf_iterator<char>());
	if (bytes.size() < sizeof(ElfW(Ehdr)))
		return facts;

	ElfW(Ehdr) header;
	memcpy(&header, bytes.data(), sizeof(header));
	if (memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
		return facts;
	facts.valid = true;
	facts.type = header.e_type;
	facts.entry = header.e_entry;

	for (size_t i = 0; i < header.e_phnum; i++) {
		size_t offset = header.e_phoff + i * header.e_phentsize;
		ElfW(Phdr) segment;
		if (offset + sizeof(segment) > bytes.size())
			break;
		memcpy(&segment, bytes.data() + offset, sizeof(segment));
		if (segment.p_type != PT_INTERP
				|| segment.p_offset + segment.p_filesz > bytes.size())
			continue;
		facts.interpreter = std::string(bytes.data() + segment.p_offset,
				strnlen(bytes.data() + segment.p_offset, segment.p_filesz));
	}
	return facts;
}


class ImageFaceTest : public testing::TestWithParam<std::string> { };


TEST_P(ImageFaceTest, ExportsProcessRefsAlone)
{
	EXPECT_EQ(defined_dynamic_symbols(GetParam()),
			std::set<std::string>({"process_refs"}));
}


TEST_P(ImageFaceTest, IsALoadableObjectThatNamesTheSystemLoader)
{
	ElfFacts facts = read_elf(GetParam());
	ASSERT_TRUE(facts.valid);
	EXPECT_EQ(facts.type, ET_DYN);
	EXPECT_NE(facts.entry, 0u);
	EXPECT_EQ(facts.interpreter, TEXTWEND_INTERPRETER);
}


INSTANTIATE_TEST_SUITE_P(Images, ImageFaceTest, testing::ValuesIn(images()));


TEST(ImageProgramTest, RunsWithArgumentsConstructorsAndExitStatus)
{
	struct {
		std::vector<std::string> arguments;
		int status;
	} cases[] = {
			{{}, 0},
			{{"7"}, 7},
			{{"3", "two words", "Grüße"}, 3},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(testing::PrintToString(test.arguments));
		std::vector<std::string> command = {kTestImage};
		command.insert(
				command.end(), test.arguments.begin(), test.arguments.end());
		test::ChildResult run = test::run_program(command);

		EXPECT_EQ(run.status, test.status) << run.errors;
		EXPECT_EQ(run.errors, "");
		std::vector<std::vector<std::string>> expected = {
				{"main"},
				// Static constructors ran, and only once.
				{"constructors", "1"},
				{"argc", std::to_string(command.size())},
		};
		for (size_t i = 0; i < test.arguments.size(); i++)
			expected.push_back(
					{"argv", std::to_string(i + 1), test.arguments[i]});
		// The application face: a quit request posted before Run() ends
		// the loop; static destructors run at the exit.
		expected.push_back({"run", "returned"});
		expected.push_back({"unloaded"});
		EXPECT_EQ(test::split_lines(run.output), expected);
	}
}

} // namespace
