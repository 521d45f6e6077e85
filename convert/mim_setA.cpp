/*
 * Giving the converted file a MIME type of the caller's choice.
 */
#include "convert/convert.h"

#include <Mime.h>
#include <Node.h>
#include <NodeInfo.h>

#include <stdio.h>
#include <string.h>


void
mim_setA(char* path, char* type)
{
	if (!BMimeType::IsValid(type))
		printf("[Mimetyp ist nicht moeglich]");

	BNode node(path);
	if (node.InitCheck() != B_OK) {
		printf("[Mime- Node ist nicht OK]\n");
		return;
	}

	char wanted[B_MIME_TYPE_LENGTH];
	if (strlen(type) >= sizeof(wanted))
		return;
	strcpy(wanted, type);

	BNodeInfo info(&node);
	if (info.InitCheck() != B_OK)
		return;

	char current[B_MIME_TYPE_LENGTH];
	if (info.GetType(current) != B_OK || strcmp(current, wanted) != 0)
		info.SetType(wanted);
}
