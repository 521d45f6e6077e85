/*
 * The run of an image that goes into the folders selected (tree_mod): each
 * tree is walked and every file in it converted, undone or looked at, the
 * way the image says; a file selected beside the folders is taken as the
 * images of a selection take it. The status window counts the files first
 * and then shows how far the run has got; Stop ends it after the file at
 * hand. One alert and one notification sum it up at the end.
 */
#ifndef ADDON_TREE_RUN_H
#define ADDON_TREE_RUN_H

class BMessage;

// The add-on's work for the selection in msg, under "refs".
void process_tree(BMessage* msg);

#endif // ADDON_TREE_RUN_H
