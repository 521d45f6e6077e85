/*
 * The backups of conversions. Each conversion keeps its original under a
 * backup name and stamps the converted file with it; a file converted
 * again keeps its earlier converted text (stamp and all) as its next
 * backup. Converting one of these backups would tangle that history, and
 * undo would no longer find its way back.
 */
#ifndef CONVERT_BACKUP_OWNER_H
#define CONVERT_BACKUP_OWNER_H

#include <string>

// The name of the file in folder whose conversions keep leaf as one of
// their originals, following its stamp and those of its earlier converted
// texts; empty when leaf is no such backup.
std::string backup_owner(int folder, const std::string& leaf);

#endif // CONVERT_BACKUP_OWNER_H
