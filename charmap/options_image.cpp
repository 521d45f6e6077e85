// The same definitions as options.cpp, built once more for an image with
// start values of its own.
#include "options.cpp"
