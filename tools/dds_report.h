// What a DDS file's header says and what the importer will do with it, in
// words, for people: the library behind ddsinfo, which ddsimport also uses
// to say why a file was refused.  It plans each file with the importer's
// own decoding library, so its verdict is the importer's.
#ifndef TOOLS_DDS_REPORT_H
#define TOOLS_DDS_REPORT_H

#include <cstdio>
#include <string>

// Why the importer refuses the file at `path`, as one line ("the file ends
// before the end of the top level (LevelTruncated)"); empty when it would
// import it.
std::string ddsRefusalReason(const std::string &path);

// Writes the report of one file to `out`; true when the importer would
// import the file.
bool ddsWriteReport(std::FILE *out, const std::string &path);

#endif
