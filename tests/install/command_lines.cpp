#include "command_lines.h"

#include <ctype.h>
#include <stdio.h>

#include <sstream>


namespace {

void
replace_all(std::string& text, const std::string& from, const std::string& to)
{
	for (size_t at = text.find(from); at != std::string::npos;
			at = text.find(from, at + to.size()))
		text.replace(at, from.size(), to);
}


std::string
xml_text(std::string text)
{
	replace_all(text, "&lt;", "<");
	replace_all(text, "&gt;", ">");
	replace_all(text, "&quot;", "\"");
	replace_all(text, "&apos;", "'");
	replace_all(text, "&amp;", "&");
	return text;
}

} // namespace


Words
split_shell_words(const std::string& line)
{
	Words words;
	std::string word;
	bool inWord = false;
	for (size_t i = 0; i < line.size(); i++) {
		char c = line[i];
		if (c == ' ' || c == '\t' || c == '\n') {
			if (inWord)
				words.push_back(word);
			word.clear();
			inWord = false;
			continue;
		}
		inWord = true;
		if (c == '\'') {
			size_t end = line.find('\'', i + 1);
			if (end == std::string::npos)
				return Words();
			word += line.substr(i + 1, end - i - 1);
			i = end;
		} else if (c == '"') {
			for (i++; i < line.size() && line[i] != '"'; i++) {
				if (line[i] == '\\' && i + 1 < line.size()
						&& std::string("\\\"`$\n").find(line[i + 1])
								!= std::string::npos)
					i++;
				word += line[i];
			}
			if (i >= line.size())
				return Words();
		} else if (c == '\\' && i + 1 < line.size()) {
			word += line[++i];
		} else
			word += c;
	}
	if (inWord)
		words.push_back(word);
	return words;
}


std::string
shell_quote(const std::string& text)
{
	std::string quoted = text;
	replace_all(quoted, "'", "'\\''");
	return "'" + quoted + "'";
}


std::string
unescape_key_value(const std::string& value)
{
	std::string text;
	for (size_t i = 0; i < value.size(); i++) {
		if (value[i] != '\\' || i + 1 == value.size()) {
			text += value[i];
			continue;
		}
		switch (value[++i]) {
		case 's':
			text += ' ';
			break;
		case 'n':
			text += '\n';
			break;
		case 't':
			text += '\t';
			break;
		case 'r':
			text += '\r';
			break;
		default:
			text += value[i];
		}
	}
	return text;
}


std::string
key_value(const std::string& text, const std::string& group,
		const std::string& key)
{
	std::istringstream lines(text);
	std::string line;
	bool inGroup = false;
	while (std::getline(lines, line)) {
		if (!line.empty() && line[0] == '[')
			inGroup = line == "[" + group + "]";
		else if (inGroup && line.rfind(key + "=", 0) == 0)
			return line.substr(key.size() + 1);
	}
	return std::string();
}


Words
desktop_exec(const std::string& exec, const Words& files)
{
	Words words;
	for (std::string word : split_shell_words(unescape_key_value(exec))) {
		if (word == "%F") {
			words.insert(words.end(), files.begin(), files.end());
			continue;
		}
		replace_all(word, "%%", "%");
		words.push_back(word);
	}
	return words;
}


std::string
file_uri(const std::string& path)
{
	// What GLib leaves as it is in a path: the shell's $ & ' ( ) ; among it.
	const std::string kKept = "!$&'()*+,-./:;=@_~";
	std::string uri = "file://";
	for (char c : path) {
		unsigned char byte = static_cast<unsigned char>(c);
		if (isalnum(byte) != 0 || kKept.find(c) != std::string::npos)
			uri += c;
		else {
			char escape[4];
			snprintf(escape, sizeof(escape), "%%%02X", byte);
			uri += escape;
		}
	}
	return uri;
}


Words
nemo_exec(const std::string& exec, const Words& files)
{
	std::string paths;
	std::string uris;
	for (std::string file : files) {
		uris += (uris.empty() ? "\"" : " \"") + file_uri(file) + "\"";
		replace_all(file, "\\", "\\\\");
		replace_all(file, "\"", "\\\"");
		paths += (paths.empty() ? "\"" : " \"") + file + "\"";
	}
	std::string line = unescape_key_value(exec);
	replace_all(line, "%F", paths);
	replace_all(line, "%U", uris);
	return split_shell_words(line);
}


Words
thunar_command(const std::string& xmlCommand, const Words& files)
{
	std::string command = xml_text(xmlCommand);
	std::string line;
	for (size_t i = 0; i < command.size(); i++) {
		if (command[i] != '%' || i + 1 == command.size()) {
			line += command[i];
			continue;
		}
		char code = command[++i];
		if (code == '%')
			line += '%';
		else if (code == 'F') {
			for (size_t f = 0; f < files.size(); f++) {
				if (f > 0)
					line += ' ';
				line += shell_quote(files[f]);
			}
		}
	}
	return {"/bin/sh", "-c", line};
}
