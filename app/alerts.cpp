/*
 * The program's two alerts. Each copies its text into a buffer of its own
 * first; a longer text is cut at the last whole character that fits.
 */
#include "app/alerts.h"

#include <Alert.h>

#include <string.h>

#include <new>


namespace {

const size_t kInf2TextSize = 512;
const size_t kMessTextSize = 2048;


// Copies text into buffer, at most size - 1 bytes and never a part of a
// UTF-8 character, and ends it.
void
copy_text(char* buffer, size_t size, const char* text)
{
	if (text == NULL)
		text = "";
	size_t length = strnlen(text, size);
	if (length >= size) {
		length = size - 1;
		// Back to the start of the character that the cut would split.
		size_t start = length;
		while (start > 0
				&& (static_cast<unsigned char>(text[start]) & 0xc0) == 0x80)
			start--;
		length = start;
	}
	memcpy(buffer, text, length);
	buffer[length] = '\0';
}


int32
show_alert(const char* title, const char* text, const char* button)
{
	BAlert* alert = new (std::nothrow) BAlert(
			title, text, button, NULL, NULL, B_WIDTH_AS_USUAL, B_INFO_ALERT);
	if (alert == NULL)
		return -1;
	// Go() deletes the alert.
	return alert->Go();
}

} // namespace


int32
AlertInf2(const char* text)
{
	char buffer[kInf2TextSize];
	copy_text(buffer, sizeof(buffer), text);
	return show_alert("--", buffer, " OK ");
}


int32
AlertMess(const char* text)
{
	char buffer[kMessTextSize];
	copy_text(buffer, sizeof(buffer), text);
	return show_alert("Outsch", buffer, " Outch ");
}
