/*
 * What the person is told at the end of a run over trees: one alert with
 * how many files were converted, by the set they came from, which with
 * doubt, how many were right already, what was passed over by kind and
 * what was left as it was, with the first names; and the same in one line
 * for the notification. Whatever the size of the tree, only the first names
 * of each list are kept.
 */
#ifndef ADDON_TREE_SUMMARY_H
#define ADDON_TREE_SUMMARY_H

#include "addon/report.h"
#include "charmap/styles.h"
#include "walk/tree.h"

#include <stdint.h>

#include <string>
#include <vector>

// What the run is: conversion, undo, or a look that changes nothing.
enum tree_job { kTreeConvert, kTreeUndo, kTreeCheck };

struct tree_tally {
	tree_job job = kTreeConvert;
	// Converted (undone; for the check, those that would be), and of them,
	// by the set their text came from (kStyleNone, plain ASCII, to
	// kStyleLatex) and the other that gives the same text (0 for none), and
	// those with doubt.
	uint64_t converted = 0;
	uint64_t bySet[kStyleLatex + 1][kStyleLatex + 1] = {};
	uint64_t doubtful = 0;
	uint64_t alreadyRight = 0;
	// Passed over: stamped already, carrying no stamp (the undo), no text,
	// a program with a set-ID bit, and what the walk passes over by kind.
	uint64_t convertedBefore = 0;
	uint64_t neverConverted = 0;
	uint64_t notText = 0;
	uint64_t setId = 0;
	uint64_t passed[kPassedKinds] = {};
	// Folders renamed to UTF-8 (renamed back, for the undo; for the
	// check, those that would be), and those whose name, no UTF-8, stays.
	uint64_t foldersRenamed = 0;
	uint64_t folderNamesKept = 0;
	// Left as they were, folders that cannot be read among them.
	uint64_t leftAlone = 0;
	// The first names with doubt and of those left, with what to say.
	std::vector<entry_report> doubtfulNames;
	std::vector<entry_report> leftNames;
	// The files handed on so far, of those counted first.
	uint64_t done = 0;
	uint64_t total = 0;
	bool stopped = false;
};

// Counts what the file name came to, as its result record says.
void tally_file(tree_tally& tally, const convert_result& result,
		const std::string& name);

// Counts name as left as it was, for what.
void tally_left(
		tree_tally& tally, const std::string& name, const std::string& what);

// The end alert's text.
std::string tree_alert_text(const tree_tally& tally);

// The notification's text, in one line.
std::string tree_notification_text(const tree_tally& tally);

#endif // ADDON_TREE_SUMMARY_H
