// One file converted end to end: content, backup, standard output,
// attributes and MIME type.
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/convert.h"
#include "convert/result.h"
#include "convert/undo.h"
#include "support/files.h"
#include "support/options.h"

#include <fs_attr.h>

#include <dirent.h>
#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <functional>
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

// Something that already holds a name the conversion would like to use.
struct Occupant {
	const char* what;
	std::function<void(const std::string& name, const std::string& source)>
			make;
	// It is what a backup is made as, and so serves as one.
	bool servesAsBackup = false;
};

const Occupant kOccupants[] = {
		{"nothing", [](const std::string&, const std::string&) {}},
		{"a file",
				[](const std::string& name, const std::string&) {
					write_file(name, "older\n");
				}},
		{"a second name of the file itself",
				[](const std::string& name, const std::string& source) {
					link(source.c_str(), name.c_str());
				},
				true},
		{"a link to a file elsewhere",
				[](const std::string& name, const std::string&) {
					symlink("../elsewhere", name.c_str());
				}},
		{"a link to nowhere",
				[](const std::string& name, const std::string&) {
					symlink("nowhere", name.c_str());
				}},
		{"a folder",
				[](const std::string& name, const std::string&) {
					mkdir(name.c_str(), 0755);
				}},
};

TEST(Conversion, NeverReplacesWhatHoldsTheNameItWants)
{
	for (int32_t mode : {0, 1}) {
		for (const Occupant& occupant : kOccupants) {
			Folder folder;
			write_file(folder / "elsewhere", "not to be touched\n");
			std::string inside = folder / "in";
			mkdir(inside.c_str(), 0755);
			std::string path = inside + "/a.txt";
			write_file(path, "\x84\r\n");
			std::string wanted = path + (mode == 0 ? "-BAK" : "-N");
			occupant.make(wanted, path);
			bool free = !test::exists(wanted);
			std::string before = read_file(wanted);
			mode_t kind = test::mode_of(wanted) & S_IFMT;
			test::OptionScope option(r_modus, mode);

			std::string output = convert(path);

			bool served = mode == 0 && occupant.servesAsBackup;
			std::string taken = free || served ? wanted : wanted + "2";
			std::string what = occupant.what + std::string(" ") + wanted;
			if (!free) {
				EXPECT_EQ(read_file(wanted), before) << what;
				EXPECT_EQ(last_result.backup == wanted, served) << what;
				EXPECT_EQ(test::mode_of(wanted) & S_IFMT, kind) << what;
			}
			EXPECT_EQ(read_file(folder / "elsewhere"), "not to be touched\n");
			if (mode == 0) {
				EXPECT_EQ(read_file(path), "ä\n") << what;
				EXPECT_EQ(read_file(taken), "\x84\r\n") << what;
				EXPECT_EQ(output,
						"\t\n rename: '" + path + "' \n \t to: '" + taken
								+ "'\n\n\n")
						<< what;
			} else {
				EXPECT_EQ(read_file(path), "\x84\r\n") << what;
				EXPECT_EQ(read_file(taken), "ä\n") << what;
				EXPECT_EQ(output, "\t\n\n\n") << what;
			}
			EXPECT_EQ(last_result.output, mode == 0 ? path : taken) << what;
		}
	}
}

TEST(Conversion, EachRunKeepsTheOriginal)
{
	const struct {
		const char* what;
		std::string source;
		std::vector<std::string> backups;
	} cases[] = {
			{"UTF-8", "K\xC3\xA4se\n", {"K\xC3\xA4se\n", "K\xC3\xA4se\n"}},
			{"DOS", "K\x84se\r\n", {"K\x84se\r\n", "K\xC3\xA4se\n"}},
	};
	for (const auto& c : cases) {
		Folder folder;
		std::string path = folder / "a.txt";
		write_file(path, c.source);
		convert(path);
		convert(path); // a second run, or the same name twice in a selection
		EXPECT_EQ(read_file(path + "-BAK"), c.backups[0]) << c.what;
		EXPECT_EQ(read_file(path + "-BAK2"), c.backups[1]) << c.what;
		EXPECT_EQ(last_result.backup, path + "-BAK2") << c.what;
	}
}

// toNFile handed a buffer by a caller that read the file itself opens the
// file on its own, and its conversion can be undone.
TEST(Conversion, TheWriterConvertsABufferItIsHanded)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\x84se\r\n");
	std::string text = "K\x84se\r\n";
	test::OptionScope style(ostyle, kStylePc);
	test::OptionScope lines(fstyle, kLineEndCr | kLineEndLf);
	std::string copy = path;

	testing::internal::CaptureStdout();
	toNFile(text.data(), (off_t)text.size(), copy.data());
	undo_conversion(copy.data());
	testing::internal::GetCapturedStdout();

	EXPECT_TRUE(last_result.converted) << last_result.reason;
	EXPECT_EQ(read_file(path), "K\x84se\r\n");
	EXPECT_EQ(test::folder_entries(folder.path()),
			std::vector<std::string> {"a.txt"});
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

std::string
host_attribute(const std::string& path, const char* name)
{
	char value[256];
	ssize_t size = lgetxattr(path.c_str(), name, value, sizeof(value));
	return size < 0 ? "(none)" : std::string(value, size);
}


TEST(Attributes, EveryOtherOneGoesOverByteForByte)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");
	const struct {
		const char* name;
		std::string value;
	} attributes[] = {
			{"user.xdg.origin.url", "https://example.org/Brief.txt"},
			{"user.checksum", std::string("\0\x01\xFF\0", 4)},
			{"user.empty", ""},
			{"system.posix_acl_access", test::kAccessList},
	};
	for (const auto& a : attributes) {
		if (setxattr(path.c_str(), a.name, a.value.data(), a.value.size(), 0)
				!= 0)
			GTEST_SKIP() << a.name << ": " << strerror(errno);
	}

	std::string output = convert(path);

	for (const auto& a : attributes)
		EXPECT_EQ(host_attribute(path, a.name), a.value) << a.name;
	EXPECT_EQ(test::mode_of(path) & 0777, 0644u);
	EXPECT_EQ(output, "\t" + rename_lines(path) + "\n\n\n");
}

// The folder's default access list would open a new file to the user it
// names; the converted file keeps the source's permissions alone.
TEST(Attributes, TheFoldersDefaultListStaysOff)
{
	Folder folder;
	if (setxattr(folder.path().c_str(), "system.posix_acl_default",
				test::kAccessList.data(), test::kAccessList.size(), 0)
			!= 0)
		GTEST_SKIP() << "no access lists here: " << strerror(errno);
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n", 0640);
	removexattr(path.c_str(), "system.posix_acl_access");
	chmod(path.c_str(), 0640);

	convert(path);

	EXPECT_EQ(read_file(path), "Käse\n");
	EXPECT_EQ(host_attribute(path, "system.posix_acl_access"), "(none)");
	EXPECT_EQ(test::mode_of(path) & 0777, 0640u);
}

TEST(Attributes, OneThatCannotBeReadIsNamed)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");
	// A typed attribute too short to hold its type code.
	ASSERT_EQ(setxattr(path.c_str(), "user.haiku.broken", "ab", 2, 0), 0);

	testing::internal::CaptureStderr();
	convert(path);
	std::string errors = testing::internal::GetCapturedStderr();

	EXPECT_EQ(errors,
			"Textwend: '" + path
					+ "': attribute 'broken' not carried over: Bad message\n");
	EXPECT_EQ(read_file(path), "Käse\n");
	EXPECT_TRUE(last_result.converted);
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

// A batch holds its files back until its sync: each result is typed by the
// set of its own text, not by that of the file converted last.
TEST(MimeType, EachFileOfABatchKeepsItsOwnType)
{
	const struct {
		int32_t rModus;
		std::string suffix; // of the converted text's name
	} modes[] = {{0, ""}, {1, "-N"}};
	const std::vector<std::vector<std::string>> orders
			= {{"utf-8", "dos"}, {"dos", "utf-8", "dos"}};
	for (const auto& mode : modes) {
		for (const auto& order : orders) {
			SCOPED_TRACE("r_modus " + std::to_string(mode.rModus) + ", "
					+ order.front() + " first");
			Folder folder;
			test::OptionScope pop(pop_ind, 1);
			test::OptionScope place(r_modus, mode.rModus);
			testing::internal::CaptureStdout();
			batch_begin();
			for (size_t i = 0; i < order.size(); i++) {
				std::string path = folder / (order[i] + std::to_string(i));
				write_file(path, order[i] == "dos" ? "\x84\r\n" : "Käse\n");
				set_attributes(path,
						{{"BEOS:TYPE",
								{kMimeString,
										std::string("text/plain\0", 11)}}});
				AlyBFile(path.data());
			}
			batch_end();
			testing::internal::GetCapturedStdout();
			for (size_t i = 0; i < order.size(); i++) {
				std::string name = order[i] + std::to_string(i);
				EXPECT_EQ(type_of(folder / (name + mode.suffix)),
						(order[i] == "dos" ? "text/plain" : "text/html")
								+ std::string(1, '\0'))
						<< name;
			}
		}
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
