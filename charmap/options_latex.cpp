// The same definitions as options.cpp, built once more with LaTeX
// notation on for the image that reads it.
#include "options.cpp"
