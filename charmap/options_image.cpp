// The same definitions as options.cpp, built once more for an image that
// undoes conversions or reads a chosen set.
#include "options.cpp"
