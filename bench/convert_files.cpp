// Converts each file named on the command line, as the add-on would, without
// the file manager around it: the whole conversion and nothing else.
#include "convert/convert.h"

#include <stdio.h>

int
main(int argc, char** argv)
{
	for (int i = 1; i < argc; i++)
		AlyBFile(argv[i]);
	fflush(stdout);
	return 0;
}
