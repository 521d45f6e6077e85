// The second opinion on the set that the umlaut codes chose: everyday
// letters whose few special characters are umlaut codes of another set.
#include "convert/detect.h"
#include "convert/second_opinion.h"

#include "charmap/styles.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct Opinion {
	int32_t umlaut;
	set_opinion taken;
};

Opinion
opinion_on(const std::string& text)
{
	std::string padded = text + '\0';
	const uint8_t* data = (const uint8_t*)padded.data();
	int32_t umlaut = decide_style(scan_text(data, text.size(), false), false);
	return {umlaut, second_opinion(data, text.size(), umlaut)};
}

TEST(SecondOpinion, TakesTheSetTheLetterReadsIn)
{
	const struct {
		const char* what;
		std::string text;
		int32_t umlaut; // what the umlaut codes say
		int32_t taken;
	} cases[] = {
			{"Windows euro and paragraph sign", "Preis: 5 \x80 (\xA7 3)\r\n",
					kStyleMac, kStyleAnsi},
			{"Windows ellipsis", "ext4 \x85 unterst\xFCtzt\r\n", kStyleMac,
					kStyleAnsi},
			{"Windows low quote", "Das ist \x82gut\x91 so, sch\xF6n.\r\n",
					kStyleTos, kStyleAnsi},
			{"Windows quotes", "Gasthof \x84Zur Linde\x93.\r\n", kStyleTos,
					kStyleAnsi},
			{"Mac ö and ü without ß", "sch\x9Ane Woche f\x9Fr dich\r",
					kStyleTos, kStyleMac},
			{"Mac ö after a capital", "Lieber Herr K\x9Ahler,\r", kStyleTos,
					kStyleMac},
			{"Mac degree sign",
					"Es hatte 19 \xA1"
					"C.\r",
					kStyleNone, kStyleMac},
			{"DOS frame",
					"\xC9\xCD\xCD\xBB\r\n\xBA \x84 "
					"\xBA\r\n\xC8\xCD\xCD\xBC\r\n",
					kStyleTos, kStylePc},
			{"DOS no-break space",
					"z.\xFF"
					"B. sch\x94n\r\n",
					kStyleTos, kStylePc},
			{"Atari paragraph sign and degrees",
					"Gem\x84ss \xDD 3 bei 19 \xF8"
					"C\r\n",
					kStylePc, kStyleTos},
			{"Atari à la carte", "wir haben \x85 la carte gegessen\r\n",
					kStyleMac, kStyleTos},
			{"Windows without umlauts", "Caf\xE9 au lait\r\n", kStyleNone,
					kStyleAnsi},
			{"Mac euro sign alone", "48,50 \xDB gekostet\r", kStyleNone,
					kStyleMac},
	};
	for (const auto& c : cases) {
		Opinion opinion = opinion_on(c.text);
		EXPECT_EQ(opinion.umlaut, c.umlaut) << c.what;
		EXPECT_EQ(opinion.taken.style, c.taken) << c.what;
		EXPECT_FALSE(opinion.taken.doubtful) << c.what;
	}
}

// What reads plausibly in the umlaut codes' set stays as they chose, and so
// do texts that read as nothing at all.
TEST(SecondOpinion, KeepsTheUmlautCodesChoiceUnlessItReadsWrong)
{
	std::mt19937 random(7);
	std::string noise;
	for (int i = 0; i < 4000; i++)
		noise += (char)(random() & 0xFF);
	const struct {
		const char* what;
		std::string text;
		bool doubtful;
	} cases[] = {
			{"DOS umlauts",
					"Gr\x81\xE1"
					"e aus \x99sterreich\r\n",
					false},
			{"a lone ä", "\x84\r\n", false},
			{"E6 in a word", "a\xE6z", false},
			{"FA alone", "\xFA", false},
			{"ANSI ä", "K\xE4se", false},
			{"Mac ä and ß",
					"K\x8A\xA7"
					"e",
					false},
			{"a lone capital that reads as nothing else", "\xC4", true},
			{"random bytes", noise, true},
	};
	for (const auto& c : cases) {
		Opinion opinion = opinion_on(c.text);
		EXPECT_NE(opinion.umlaut, kStyleNone) << c.what;
		EXPECT_EQ(opinion.taken.style, opinion.umlaut) << c.what;
		EXPECT_EQ(opinion.taken.doubtful, c.doubtful) << c.what;
		EXPECT_EQ(opinion.taken.nextBest != kStyleNone, c.doubtful) << c.what;
	}
}

TEST(SecondOpinion, FindsNoSetWhereNothingReadsAsText)
{
	Opinion opinion = opinion_on("Wert \x8F\xE0 gesetzt\r\n");
	EXPECT_EQ(opinion.umlaut, kStyleNone);
	EXPECT_EQ(opinion.taken.style, kStyleNone);
}

// A large text is judged by samples; a wrong set shows in any of them.
TEST(SecondOpinion, ALargeTextIsJudgedAllOver)
{
	std::string line = "Die Tasse kostet 5 \x80 (siehe \xA7 3).\r\n";
	std::string text;
	while (text.size() < 64 * 1024 * 1024)
		text += line;
	Opinion opinion = opinion_on(text);
	EXPECT_EQ(opinion.umlaut, kStyleMac);
	EXPECT_EQ(opinion.taken.style, kStyleAnsi);
}

} // namespace
