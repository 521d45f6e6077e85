// One file converted end to end: content, backup, standard output,
// attributes and MIME type.
#include "charmap/options.h"
#include "convert/convert.h"
#include "support/files.h"
#include "support/options.h"

#include <fs_attr.h>

#include <dirent.h>
#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using test::Folder;
using test::read_file;
using test::write_file;


std::string
convert(const std::string& path)
{
	std::string copy = path;
	testing::internal::CaptureStdout();
	AlyBFile(copy.data());
	fflush(stdout);
	return testing::internal::GetCapturedStdout();
}

std::string
rename_lines(const std::string& path)
{
	return "\n rename: '" + path + "' \n \t to: '" + path + "-BAK'";
}

struct Attribute {
	uint32_t type;
	std::string value;
	bool
	operator==(const Attribute& other) const
	{
		return type == other.type && value == other.value;
	}
};

using Attributes = std::map<std::string, Attribute>;

void
set_attributes(const std::string& path, const Attributes& attributes)
{
	int fd = open(path.c_str(), O_WRONLY);
	ASSERT_GE(fd, 0);
	for (const auto& [name, attribute] : attributes) {
		ASSERT_EQ(fs_write_attr(fd, name.c_str(), attribute.type, 0,
						  attribute.value.data(), attribute.value.size()),
				(ssize_t)attribute.value.size())
				<< "extended attributes needed";
	}
	close(fd);
}

// The attributes in the order their directory gives them.
std::vector<std::pair<std::string, Attribute>>
get_attributes(const std::string& path)
{
	std::vector<std::pair<std::string, Attribute>> result;
	DIR* dir = fs_open_attr_dir(path.c_str());
	if (dir == NULL)
		return result;
	int fd = open(path.c_str(), O_RDONLY);
	while (struct dirent* entry = fs_read_attr_dir(dir)) {
		attr_info info;
		if (fs_stat_attr(fd, entry->d_name, &info) != 0)
			continue;
		std::string value((size_t)info.size, '\0');
		fs_read_attr(
				fd, entry->d_name, info.type, 0, value.data(), value.size());
		result.push_back({entry->d_name, {info.type, value}});
	}
	close(fd);
	fs_close_attr_dir(dir);
	return result;
}

const uint32_t kMimeString = 'MIMS';

std::string
type_of(const std::string& path)
{
	for (const auto& [name, attribute] : get_attributes(path)) {
		if (name == "BEOS:TYPE")
			return attribute.value;
	}
	return "(none)";
}

struct ConversionCase {
	const char* what;
	std::string source;
	std::string converted;
	int32_t style;
	int32_t lineEnds;
	int32_t popInd = 0;
	int32_t nylMod = 0;
};

TEST(Conversion, WritesTheTextThroughTheDetectedTable)
{
	const ConversionCase cases[] = {
			{"DOS",
					"Gr\x81\xE1"
					"e\r\n\x99l\r\n",
					"Grüße\nÖl\n", 3, 3},
			{"Atari", "\x84\x9E\r\n", "äß\n", 2, 3},
			{"Mac",
					"K\x8A\xA7"
					"e\rZ\r",
					"Käße\nZ\n", 4, 2},
			{"Windows", "K\xE4se\n", "Käse\n", 5, 1},
			{"UTF-8", "Käse\r\n", "Käse\n", 1, 3},
			{"ASCII with controls",
					"a\x01"
					"b\x1B\n",
					"ab\n", 0, 1},
			{"LaTeX", "Stra\"se\n", "Straße\n", 6, 1, 3},
			{"no table at 50", "\x84\x9E\n", "\x84\x9E\n", 2, 1, 50},
			{"no table when negative", "\x84\x9E\n", "\x84\x9E\n", 2, 1, -1},
			{"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3), 0, 0,
					0, 2},
			{"NUL dropped", std::string("a\0b", 3), "ab", 0, 0},
			{"empty", "", "", 0, 0},
	};
	for (const ConversionCase& c : cases) {
		Folder folder;
		std::string path = folder / "Brief.txt";
		write_file(path, c.source);
		test::OptionScope pop(pop_ind, c.popInd);
		test::OptionScope nyl(nyl_mod, c.nylMod);

		std::string output = convert(path);

		EXPECT_EQ(read_file(path), c.converted) << c.what;
		EXPECT_EQ(read_file(path + "-BAK"), c.source) << c.what;
		EXPECT_EQ(ostyle, c.style) << c.what;
		EXPECT_EQ(fstyle, c.lineEnds) << c.what;
		std::string latex = c.style == 6 ? "\n RAM wegen Latex gemapt.." : "";
		EXPECT_EQ(output, "\t" + latex + rename_lines(path) + "\n\n\n")
				<< c.what;
	}
}

TEST(Conversion, WritesBesideTheSourceInItsSecondMode)
{
	Folder folder;
	std::string path = folder / "dos.txt";
	write_file(path, "\x84\r\n");
	set_attributes(path,
			{{"BEOS:TYPE", {kMimeString, std::string("text/plain\0", 11)}}});
	test::OptionScope mode(r_modus, 1);

	std::string output = convert(path);

	EXPECT_EQ(read_file(path), "\x84\r\n");
	EXPECT_EQ(read_file(path + "-N"), "ä\n");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	EXPECT_EQ(output, "\t\n\n\ntext/plain");
	EXPECT_EQ(type_of(path + "-N"), std::string("text/plain\0", 11));
}

TEST(Conversion, ReplacesAnEarlierBackup)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "second\n");
	write_file(path + "-BAK", "first\n");
	convert(path);
	EXPECT_EQ(read_file(path + "-BAK"), "second\n");
	EXPECT_EQ(read_file(path), "second\n");
}

TEST(Conversion, UnknownWriteModesStillKeepABackup)
{
	for (int32_t mode : {2, -1, 100}) {
		Folder folder;
		std::string path = folder / "a.txt";
		write_file(path, "\x84\r\n");
		test::OptionScope option(r_modus, mode);
		convert(path);
		EXPECT_EQ(read_file(path), "ä\n") << mode;
		EXPECT_EQ(read_file(path + "-BAK"), "\x84\r\n") << mode;
	}
}

TEST(Conversion, KeepsThePermissionBits)
{
	for (mode_t mode : {0600, 0640, 0755, 0444, 0700}) {
		Folder folder;
		std::string path = folder / "f";
		// Only root may set attributes on a file it may not write.
		write_file(path, "K\xE4se\n", 0600);
		set_attributes(path, {{"note", {'CSTR', "x"}}});
		chmod(path.c_str(), mode);
		convert(path);
		EXPECT_EQ(test::mode_of(path) & 07777, mode) << std::oct << mode;
		EXPECT_EQ(get_attributes(path).size(), 1u) << std::oct << mode;
	}
}

TEST(Attributes, AreCopiedByteForByteAndEchoed)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");
	const Attributes attributes = {
			{"BEOS:TYPE", {kMimeString, std::string("text/plain\0", 11)}},
			{"count", {'LONG', std::string("\x2A\0\0\0", 4)}},
			{"big",
					{'LLNG',
							std::string(
									"\x01\x02\x03\x04\x05\x06\x07\x08", 8)}},
			{"empty", {'CSTR', ""}},
			{"binary", {'RAWT', std::string("ab\0cd\0", 6)}},
			{"no NUL", {'CSTR', "open end"}},
			{"slash/and%", {'CSTR', std::string("odd\0", 4)}},
	};
	set_attributes(path, attributes);

	std::string output = convert(path);

	auto copied = get_attributes(path);
	auto kept = get_attributes(path + "-BAK");
	ASSERT_EQ(copied.size(), attributes.size());
	std::string echoes;
	for (const auto& [name, attribute] : kept) {
		EXPECT_EQ(attributes.at(name), attribute) << name;
		echoes += attribute.value.substr(
				0, strnlen(attribute.value.data(), attribute.value.size()));
	}
	for (const auto& [name, attribute] : copied)
		EXPECT_EQ(attributes.at(name), attribute) << name;
	EXPECT_EQ(output, "\t" + rename_lines(path) + "\n\n\n" + echoes);
}

TEST(Attributes, NoneAtAllEchoesNothing)
{
	Folder folder;
	std::string source = folder / "s";
	std::string target = folder / "t";
	write_file(source, "x");
	write_file(target, "y");
	testing::internal::CaptureStdout();
	dup_attr(source.data(), target.data());
	fflush(stdout);
	EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
	EXPECT_TRUE(get_attributes(target).empty());
	std::string missing = folder / "missing";
	dup_attr(missing.data(), target.data());
	EXPECT_TRUE(get_attributes(target).empty());
}

TEST(MimeType, BecomesHtmlOnlyForUtf8WithTheOption)
{
	const struct {
		const char* what;
		std::string text;
		int32_t popInd;
		std::string type; // "" for none
		std::string after;
	} cases[] = {
			{"UTF-8 with option", "Käse\n", 1, "text/plain", "text/html"},
			{"UTF-8 without type", "Käse\n", 1, "", "text/html"},
			{"UTF-8 already html", "Käse\n", 1, "text/html", "text/html"},
			{"TOS with option", "\x84\x9E\n", 1, "text/plain", "text/plain"},
			{"UTF-8 without option", "Käse\n", 0, "text/plain", "text/plain"},
	};
	for (const auto& c : cases) {
		Folder folder;
		std::string path = folder / "a";
		write_file(path, c.text);
		if (!c.type.empty())
			set_attributes(path, {{"BEOS:TYPE", {kMimeString, c.type + '\0'}}});
		test::OptionScope pop(pop_ind, c.popInd);
		convert(path);
		EXPECT_EQ(type_of(path), c.after + '\0') << c.what;
	}
}

TEST(MimeType, ReportsWhatItCannotDo)
{
	Folder folder;
	std::string path = folder / "a";
	write_file(path, "x");
	const struct {
		std::string type;
		std::string path;
		std::string output;
		std::string after;
	} cases[] = {
			{"text/html", path, "", "text/html"},
			{"not a type", path, "[Mimetyp ist nicht moeglich]", "not a type"},
			{std::string(240, 'a'), path, "[Mimetyp ist nicht moeglich]",
					"not a type"},
			{"text/html", folder / "missing", "[Mime- Node ist nicht OK]\n",
					""},
	};
	for (const auto& c : cases) {
		std::string type = c.type;
		std::string target = c.path;
		testing::internal::CaptureStdout();
		mim_setA(target.data(), type.data());
		fflush(stdout);
		EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
		if (!c.after.empty()) {
			EXPECT_EQ(type_of(path), c.after + '\0');
		}
	}
}

} // namespace
