/*
 * Texts for people in their own language: the catalogues of the install
 * that this code belongs to, under the domain "textwend". Only the words
 * of our own go through here; the design's fixed texts (standard output's
 * record, the information alert, the status window) stay as they are.
 */
#ifndef APP_TEXT_DOMAIN_H
#define APP_TEXT_DOMAIN_H

#include <libintl.h>

#include <initializer_list>
#include <string>

// The domain of our catalogues; an add-on shares its process with the
// file manager, so the process's own domain is left alone.
#define TEXTWEND_TEXT_DOMAIN "textwend"

// A text in the person's language, once bind_text_domain() has run.
#define _(text) dgettext(TEXTWEND_TEXT_DOMAIN, text)
// The singular or plural form for count.
#define P_(singular, plural, count)                                            \
	dngettext(TEXTWEND_TEXT_DOMAIN, singular, plural, count)
// Marks a text for the catalogues that is translated where it is used.
#define N_(text) text

// Finds the catalogues (beside the running image or program, else where
// the build installs them) and has gettext hand out UTF-8. Safe to call
// more than once and from any thread. The language is the process's
// LC_MESSAGES locale, which the program sets.
void bind_text_domain();

// text with each %s or %d replaced by the next of values, in order: the
// words around a name or a number come translated whole, and the name is
// put in as it is, whatever it holds.
std::string filled(const char* text, std::initializer_list<std::string> values);

#endif // APP_TEXT_DOMAIN_H
