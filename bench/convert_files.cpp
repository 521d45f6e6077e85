// Converts each file named on the command line, as the add-on would, without
// the file manager around it: the whole conversion, as one batch, and
// nothing else.
#include "convert/batch.h"
#include "convert/convert.h"

#include <stdio.h>

int
main(int argc, char** argv)
{
	batch_begin();
	for (int i = 1; i < argc; i++)
		AlyBFile(argv[i]);
	batch_end();
	fflush(stdout);
	return 0;
}
