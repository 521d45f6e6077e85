/*
 * Windows and alerts without a display: short lines on standard error, and
 * an alert's answer read from the controlling terminal.
 *
 * A window is written when it is shown (its title and the texts of its
 * string views and status bars) and whenever a text changes, by the thread
 * that changes it:
 *	window "Title": first text | second text
 * A status bar is its label and text, the share done in brackets where it
 * has a maximum, then its trailing text and label:
 *	window "Title": 1,234 of 5,000 files [24%] Briefe/Brief.txt
 * It tells progress, not a record: its line is written by the window's
 * thread once per turn of its loop, for everything that changed in it
 * meanwhile.
 * An alert is written whole, its buttons in brackets; Enter on the terminal
 * presses the last button, a button's number and Enter presses that one.
 */
#include <interface/utf8.h>
#include <interface/window_surface.h>

#include <StatusBar.h>
#include <StringView.h>
#include <Window.h>

#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>
#include <string>


namespace BPrivate {

namespace {

// The nominal screen and font of a window that has none: enough for the
// layout of what is never drawn.
const BRect kNominalScreen(0, 0, 1023, 767);
const float kNominalCharacterWidth = 6;
const font_height kNominalFontHeight = {8, 3, 1};


// Control characters would break the line (or the terminal's state); they
// become '?', and so does a byte that is no UTF-8, such as the name of a
// file from an old machine, where a terminal of 8 bits would take 0x9B
// for the start of a command. Tabs stay, and line breaks where they are
// wanted.
void
append_printable(std::string& line, const char* text, bool keepLineBreaks)
{
	int32 length = static_cast<int32>(strlen(text));
	for (int32 at = 0; at < length;) {
		char32_t character;
		int32 size
				= BPrivate::next_character(text + at, length - at, &character);
		bool control = (character < 0x20 && character != '\t')
				|| (character >= 0x7f && character < 0xa0)
				|| (character == U'\uFFFD' && size == 1);
		if (character == '\n' && keepLineBreaks)
			control = false;
		if (control)
			line += '?';
		else
			line.append(text + at, size);
		at += size;
	}
}


void
write_all(int descriptor, const std::string& text)
{
	size_t written = 0;
	while (written < text.size()) {
		ssize_t count = write(
				descriptor, text.data() + written, text.size() - written);
		if (count < 0 && errno == EINTR)
			continue;
		if (count <= 0)
			return;
		written += count;
	}
}


// A status bar's words, one after the other where they are there.
void
append_status_bar(std::string& line, BStatusBar* bar)
{
	std::string words;
	auto add = [&words](const char* text) {
		if (text[0] == '\0')
			return;
		if (!words.empty())
			words += ' ';
		words += text;
	};
	add(bar->Label());
	add(bar->Text());
	if (bar->MaxValue() > 0) {
		int percent = static_cast<int>(
				floorf(100 * bar->CurrentValue() / bar->MaxValue()));
		char shown[16];
		snprintf(shown, sizeof(shown), "[%d%%]", percent);
		add(shown);
	}
	add(bar->TrailingText());
	add(bar->TrailingLabel());
	append_printable(line, words.c_str(), false);
}


void
append_texts(std::string& line, BView* view, bool& first)
{
	BStringView* stringView = dynamic_cast<BStringView*>(view);
	if (stringView != NULL && stringView->Text() != NULL) {
		line += first ? ": " : " | ";
		append_printable(line, stringView->Text(), false);
		first = false;
	}
	BStatusBar* bar = dynamic_cast<BStatusBar*>(view);
	if (bar != NULL) {
		line += first ? ": " : " | ";
		append_status_bar(line, bar);
		first = false;
	}
	for (int32 i = 0; i < view->CountChildren(); i++)
		append_texts(line, view->ChildAt(i), first);
}


void
start_window_line(std::string& line, BWindow* window)
{
	line = "window \"";
	append_printable(line, window->Title(), false);
	line += "\"";
}


class TerminalSurface : public WindowSurface {
public:
	TerminalSurface(BWindow* window);

	virtual bool IsOnDisplay() const;
	virtual BRect ScreenFrame() const;

	virtual void Show();
	virtual void Hide();
	virtual void FrameChanged();

	virtual void Invalidated(BView* view);
	virtual int EventDescriptor();
	virtual void DispatchEvents();
	virtual void Update(const std::vector<BView*>& changed);

	virtual void SetDrawingArea(BPoint origin, BRect clip);
	virtual void FillRect(BRect rect, rgb_color color);
	virtual void StrokeLine(BPoint start, BPoint end, rgb_color color);
	virtual void DrawString(const char* string, int32 length, BPoint location,
			rgb_color color, float size);
	virtual float StringWidth(const char* string, int32 length, float size);
	virtual void GetFontHeight(font_height* height, float size);

private:
	BWindow* fWindow;
};


TerminalSurface::TerminalSurface(BWindow* window)
	: fWindow(window)
{
}


bool
TerminalSurface::IsOnDisplay() const
{
	return false;
}


BRect
TerminalSurface::ScreenFrame() const
{
	return kNominalScreen;
}


void
TerminalSurface::Show()
{
	try {
		std::string line;
		start_window_line(line, fWindow);
		bool first = true;
		for (int32 i = 0; i < fWindow->CountChildren(); i++)
			append_texts(line, fWindow->ChildAt(i), first);
		write_terminal_line(line.c_str());
	} catch (const std::bad_alloc&) {
		// Nothing is written; the window works all the same.
	}
}


void
TerminalSurface::Hide()
{
}


void
TerminalSurface::FrameChanged()
{
}


void
TerminalSurface::Invalidated(BView* view)
{
	// Every change of a text is a line of its own, written at once: the
	// lines are a record, and none may be lost to the next change.
	BStringView* stringView = dynamic_cast<BStringView*>(view);
	if (stringView == NULL || stringView->Text() == NULL)
		return;
	try {
		std::string line;
		start_window_line(line, fWindow);
		line += ": ";
		append_printable(line, stringView->Text(), false);
		write_terminal_line(line.c_str());
	} catch (const std::bad_alloc&) {
	}
}


int
TerminalSurface::EventDescriptor()
{
	return -1;
}


void
TerminalSurface::DispatchEvents()
{
}


void
TerminalSurface::Update(const std::vector<BView*>& changed)
{
	// Texts were written as they changed; a status bar once for all its
	// changes.
	for (BView* view : changed) {
		BStatusBar* bar = dynamic_cast<BStatusBar*>(view);
		if (bar == NULL)
			continue;
		try {
			std::string line;
			start_window_line(line, fWindow);
			line += ": ";
			append_status_bar(line, bar);
			write_terminal_line(line.c_str());
		} catch (const std::bad_alloc&) {
		}
	}
}


void
TerminalSurface::SetDrawingArea(BPoint origin, BRect clip)
{
	(void)origin;
	(void)clip;
}


void
TerminalSurface::FillRect(BRect rect, rgb_color color)
{
	(void)rect;
	(void)color;
}


void
TerminalSurface::StrokeLine(BPoint start, BPoint end, rgb_color color)
{
	(void)start;
	(void)end;
	(void)color;
}


void
TerminalSurface::DrawString(const char* string, int32 length, BPoint location,
		rgb_color color, float size)
{
	(void)string;
	(void)length;
	(void)location;
	(void)color;
	(void)size;
}


float
TerminalSurface::StringWidth(const char* string, int32 length, float size)
{
	// One nominal width per character.
	int32 characters = 0;
	char32_t character;
	for (int32 i = 0; i < length && string[i] != '\0'; characters++)
		i += next_character(string + i, length - i, &character);
	return characters * kNominalCharacterWidth * size / kPlainFontSize;
}


void
TerminalSurface::GetFontHeight(font_height* height, float size)
{
	float scale = size / kPlainFontSize;
	height->ascent = kNominalFontHeight.ascent * scale;
	height->descent = kNominalFontHeight.descent * scale;
	height->leading = kNominalFontHeight.leading * scale;
}


// The answer typed on the terminal: Enter alone or after Escape for the
// last button, a button's number for that one; -2 for anything else.
int32
parse_answer(const std::string& typed, int32 count)
{
	size_t start = typed.find_first_not_of(" \t\r\x1b");
	if (start == std::string::npos)
		return count - 1;
	size_t end = typed.find_last_not_of(" \t\r");
	std::string word = typed.substr(start, end - start + 1);
	char* rest;
	long number = strtol(word.c_str(), &rest, 10);
	if (*rest != '\0' || number < 1 || number > count)
		return -2;
	return static_cast<int32>(number - 1);
}


// Reads one line from the terminal; false at its end or on an error.
bool
read_line(int terminal, std::string& typed)
{
	typed.clear();
	while (true) {
		char c;
		ssize_t count = read(terminal, &c, 1);
		if (count < 0 && errno == EINTR)
			continue;
		if (count <= 0)
			return false;
		if (c == '\n')
			return true;
		typed += c;
	}
}

} // namespace


WindowSurface*
create_terminal_surface(BWindow* window)
{
	return new (std::nothrow) TerminalSurface(window);
}


void
write_terminal_line(const char* text)
{
	try {
		std::string line;
		append_printable(line, text, false);
		line += '\n';
		write_all(STDERR_FILENO, line);
	} catch (const std::bad_alloc&) {
	}
}


int32
terminal_alert(const char* title, const char* text, const char* const* labels,
		int32 count)
{
	int32 lastButton = count - 1;
	try {
		std::string alert = "alert \"";
		append_printable(alert, title, false);
		alert += "\":\n";
		append_printable(alert, text, true);
		alert += '\n';
		std::string buttons;
		for (int32 i = 0; i < count; i++) {
			if (i > 0)
				buttons += ' ';
			buttons += '[';
			append_printable(buttons, labels[i], false);
			buttons += ']';
		}
		alert += buttons;
		alert += '\n';

		int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
		if (terminal < 0) {
			write_all(STDERR_FILENO, alert);
			return lastButton;
		}

		std::string prompt;
		if (count > 1) {
			prompt = "Enter for the last button, or a button's number (1-"
					+ std::to_string(count) + ") and Enter: ";
		} else
			prompt = "Enter to close: ";
		write_all(STDERR_FILENO, alert + prompt);

		int32 answer = lastButton;
		std::string typed;
		while (read_line(terminal, typed)) {
			answer = parse_answer(typed, count);
			if (answer != -2)
				break;
			answer = lastButton;
			write_all(STDERR_FILENO, prompt);
		}
		close(terminal);
		return answer;
	} catch (const std::bad_alloc&) {
		return lastButton;
	}
}

} // namespace BPrivate
