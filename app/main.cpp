/*
 * The program started on its own: it converts nothing, whatever it is
 * given. Started bare it says in an alert how to install it as a
 * file-manager add-on; started with arguments it says on standard error how
 * files are converted, and fails, so that a script notices.
 */
#include "app/sysApplication.h"
#include "app/text_domain.h"
#include "charmap/options.h"

#include <locale.h>
#include <stdio.h>


namespace {

// The image's name and its entry in the file managers' menu; each image
// is built with its own.
const char kImageName[] = TEXTWEND_IMAGE_NAME;
const char kActionLabel[] = TEXTWEND_ACTION_LABEL;

const char kConverts[] = N_("Each FILE is moved aside as FILE-BAK and its "
							"text written as UTF-8\nunder its own name. ");
const char kUndoes[] = N_("Each FILE converted before gets its original back "
						  "from its backup,\nas long as it is unchanged "
						  "since.\n");
const char kConvertsTree[]
		= N_("Every text file inside each FOLDER is converted as a FILE is, "
			 "but for\nthose already right and those converted before. ");
const char kUndoesTree[]
		= N_("Every file converted inside each FOLDER gets its original back, "
			 "as\nlong as it is unchanged since.\n");
const char kChecks[] = N_("Each FILE, and every file inside each FOLDER, is "
						  "looked at: what\nwould be done is said, and "
						  "nothing is changed.\n");


// What the image does with what it is given.
const char*
what_it_does()
{
	if (tree_mod == kTreeModCheck)
		return _(kChecks);
	if (tree_mod != 0)
		return undo_mod != 0 ? _(kUndoesTree) : _(kConvertsTree);
	return undo_mod != 0 ? _(kUndoes) : _(kConverts);
}

enum { kExitUsage = 2 };

} // namespace


int
main(int argc, char** argv)
{
	(void)argv;
	if (argc > 1) {
		setlocale(LC_MESSAGES, "");
		bind_text_domain();
		fprintf(stderr,
				_("%s converts files as an add-on of the file manager; "
				  "started as a\n"
				  "program it converts nothing. To convert files, select "
				  "them in the\n"
				  "file manager and choose \"Textwend\" > \"%s\",\n"
				  "or run from a shell:\n"
				  "\ttracker-run %s %s...\n"
				  "%s"
				  "Textwend-LaTeX also reads LaTeX umlaut notation\n"
				  "(\"a for ä); Textwend leaves it as it is. See "
				  "Textwend(1).\n"),
				kImageName, _(kActionLabel), kImageName,
				tree_mod != 0 ? _("FILE|FOLDER") : _("FILE"), what_it_does());
		return kExitUsage;
	}

	sysApplication application;
	application.Run();
	return 0;
}
