// The file steps of the update run: what it deletes and what it writes in the
// installation folder, in order.
#pragma once

#include <string>

// The file that the run deletes first and does not recreate.
extern const char kIndexFileName[];

// A file name joined to a folder. A separator goes between them unless the folder
// already ends with one ('\' or '/'); an empty folder is used as it is. Only a
// whole character counts: the second byte of a double-byte character such as
// "ソ" or "表" is 0x5C too, and is no separator.
std::string JoinPath(const std::string& folder, const std::string& fileName);

// Writes the decoded payload of the named resource to path, replacing the file
// there only once the new one is complete on disk; any failure leaves the old
// file as it was and no temporary file behind. Raises EResNotFound for a missing
// resource (before any file is touched), EFCreateError naming path when the file
// cannot be created or replaced, and the decoder's and streams' errors unchanged.
void ExtractPayload(const std::string& name, const std::string& path);

// Deletes the index file from the installation folder; a file that is missing or
// cannot be deleted is left without a word.
void DeleteIndexFile(const std::string& installDir);

// Replaces md_scr2.med and then readme.txt from their payloads. The first failure
// stops the run: md_scr2.med is complete before readme.txt is touched.
void ReplaceGameFiles(const std::string& installDir);
