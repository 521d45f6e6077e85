/*
 * Numbers for people, written as their language writes them: 1,234 in
 * English, 1.234 in German.
 */
#ifndef APP_NUMBERS_H
#define APP_NUMBERS_H

#include <stdint.h>

#include <string>

// The digits of number in groups of three, with the separator that the
// catalogue of the person's language gives.
std::string grouped(uint64_t number);

#endif // APP_NUMBERS_H
