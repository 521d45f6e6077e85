// The second opinion on the set: everyday texts, German and not, whose
// special characters are umlaut codes of another set or none at all.
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

const int32_t kNone = kStyleNone;

TEST(SecondOpinion, EachTextComesOutInItsSet)
{
	const struct {
		const char* why;
		std::string text;
		int32_t taken;
		bool doubtful;
		int32_t sameText; // another set that gives the same text: either
						  // may be taken
	} cases[] = {
			{"Windows € and § are Mac Ä and ß", "Preis: 5 \x80 (\xA7 3)\r\n",
					kStyleAnsi, false, kNone},
			{"Windows … is a Mac Ö after a small letter",
					"ext4 \x85 unterst\xFCtzt\r\n", kStyleAnsi, false, kNone},
			{"Windows quotes that open and close are Atari äô",
					"Sie sagte \x84ja\x93.\r\n", kStyleAnsi, false, kNone},
			{"Windows quotes before a capital",
					"Gasthof \x84Zur Linde\x93.\r\n", kStyleAnsi, false, kNone},
			{"a Windows bullet at the start of a line is an Atari ò",
					"\x95 Anmeldung bis Freitag\r\n\x95 Kosten: 25 \x80\r\n",
					kStyleAnsi, false, kNone},
			{"Windows dashes between numbers are Atari û",
					"von 9\x96"
					"17 Uhr\r\n",
					kStyleAnsi, false, kNone},
			{"Windows © before a year is a DOS ®", "Facebook \xA9 1992\r\n",
					kStyleAnsi, false, kStyleMac},
			{"Windows µ before a unit is an Atari Œ", "99 \xB5m breit\r\n",
					kStyleAnsi, false, kStyleMac},
			{"Latin-1 á is the DOS ß, which never follows a consonant",
					"un amigo alem\xE1n\r\n", kStyleAnsi, false, kNone},
			{"Latin-1 Ç before a: Windows",
					"\xC7"
					"a va bien\r\n",
					kStyleAnsi, false, kNone},
			{"an Italian è as a word", "Questa \xE8 la verit\xE0.\r\n",
					kStyleAnsi, false, kNone},
			{"Windows without umlauts", "Caf\xE9 au lait\r\n", kStyleAnsi,
					false, kNone},
			{"Mac á is the DOS ç, which comes before a, o, u only",
					"un amigo alem\x87n\r", kStyleMac, false, kNone},
			{"Mac ö and ü without ß", "sch\x9Ane Woche f\x9Fr dich\r",
					kStyleMac, false, kNone},
			{"Mac ö after a capital", "Lieber Herr K\x9Ahler,\r", kStyleMac,
					false, kNone},
			{"Mac degree sign after a number",
					"Es hatte 19 \xA1"
					"C.\r",
					kStyleMac, false, kNone},
			{"Mac € alone", "48,50 \xDB gekostet\r", kStyleMac, false, kNone},
			{"Mac ö or Atari Ü: both a German word",
					"man \x9A"
					"fter\r",
					kStyleTos, true, kStylePc},
			{"a DOS frame with umlauts",
					"\xC9\xCD\xCD\xBB\r\n\xBA \x84 "
					"\xBA\r\n\xC8\xCD\xCD\xBC\r\n",
					kStylePc, false, kNone},
			{"a DOS table without umlauts is ÚÄÄÄÂÄÄÄ¿ in Windows",
					"\xDA\xC4\xC4\xC4\xC2\xC4\xC4\xC4\xBF\r\n\xB3 a "
					"\xB3 b \xB3\r\n\xC0\xC4\xC4\xC4\xC1\xC4\xC4\xC4\xD9\r\n",
					kStylePc, false, kNone},
			{"DOS no-break space",
					"z.\xFF"
					"B. sch\x94n\r\n",
					kStylePc, false, kNone},
			{"Atari § and degrees",
					"Gem\x84ss \xDD 3 bei 19 \xF8"
					"C\r\n",
					kStyleTos, false, kNone},
			{"Atari à la carte", "wir haben \x85 la carte gegessen\r\n",
					kStyleTos, false, kStylePc},
			{"DOS umlauts read the same in Atari",
					"Gr\x81\xE1"
					"e aus \x99sterreich\r\n",
					kStyleTos, false, kStylePc},
			{"Atari Ç before a vowel, not Mac Äa",
					"\x80"
					"a va tr\x8As bien.\r\n",
					kStyleTos, false, kStylePc},
			{"a lone capital reads as nothing", "\xC4", kStyleAnsi, true,
					kNone},
			{"nothing reads as text", "Wert \x8F\xE0 gesetzt\r\n", kNone, false,
					kNone},
	};
	for (const auto& c : cases) {
		Opinion opinion = opinion_on(c.text);
		bool swapped = c.sameText != kNone && opinion.taken.style == c.sameText;
		EXPECT_EQ(opinion.taken.style, swapped ? c.sameText : c.taken) << c.why;
		EXPECT_EQ(opinion.taken.sameText, swapped ? c.taken : c.sameText)
				<< c.why;
		EXPECT_EQ(opinion.taken.doubtful, c.doubtful) << c.why;
		EXPECT_EQ(opinion.taken.nextBest != kNone, c.doubtful) << c.why;
	}
}

TEST(SecondOpinion, BytesThatReadAsNothingAreDoubtful)
{
	std::mt19937 random(7);
	std::string noise;
	for (int i = 0; i < 4000; i++)
		noise += (char)(random() & 0xFF);
	Opinion opinion = opinion_on(noise);
	EXPECT_EQ(opinion.taken.style, opinion.umlaut);
	EXPECT_TRUE(opinion.taken.doubtful);
}

// Every special character counts, however far into the text: one line of
// a Windows letter near the end of 8 MiB of plain text.
TEST(SecondOpinion, ALongTextIsReadToItsLastLines)
{
	std::string text;
	while (text.size() < 8 * 1024 * 1024)
		text += "Ein ganz gewoehnlicher Satz ohne besondere Zeichen.\r\n";
	text += "Preis: 12,50 \x80, Se\xF1or G\xF3mez\r\n";
	text += std::string(1000, '.') + "\r\n";
	Opinion opinion = opinion_on(text);
	EXPECT_EQ(opinion.umlaut, kStyleMac);
	EXPECT_EQ(opinion.taken.style, kStyleAnsi);
	EXPECT_FALSE(opinion.taken.doubtful);
}

} // namespace
