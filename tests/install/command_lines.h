/*
 * How the file managers turn an action's command line and a selection into
 * the arguments of the program they start.
 */
#ifndef TEXTWEND_TESTS_COMMAND_LINES_H
#define TEXTWEND_TESTS_COMMAND_LINES_H

#include <string>
#include <vector>

typedef std::vector<std::string> Words;

// The words of a command line as GLib's g_shell_parse_argv() finds them:
// blanks separate words; single quotes keep everything; double quotes keep
// everything but a backslash before \ " ` $ or a line break; outside quotes
// a backslash keeps the next character.
Words split_shell_words(const std::string& line);

// A string quoted for a shell, as g_shell_quote() does it.
std::string shell_quote(const std::string& text);

// The value of a key file's entry with its escapes (\s \n \t \r \\) undone.
std::string unescape_key_value(const std::string& value);

// The value of Key in [Group] of a key file's text; empty if it is absent.
std::string key_value(const std::string& text, const std::string& group,
		const std::string& key);

// A desktop entry's Exec run on files: the words of the line, %F standing
// for all files, each a word of its own, and %% for a percent sign.
Words desktop_exec(const std::string& exec, const Words& files);

// A local file's URI, with every byte escaped that GLib escapes and none
// that it may leave as it is.
std::string file_uri(const std::string& path);

// A Nemo action's Exec with "Quote=double" run on files: %F is replaced by
// the files in double quotes, in which " and \ are escaped, %U by their
// URIs in double quotes, and the result is split as GLib splits it.
Words nemo_exec(const std::string& exec, const Words& files);

// A Thunar custom action's command (XML text) run on files: its % codes
// replaced, %F by the files quoted for the shell, and the line given to
// /bin/sh.
Words thunar_command(const std::string& xmlCommand, const Words& files);

#endif // TEXTWEND_TESTS_COMMAND_LINES_H
