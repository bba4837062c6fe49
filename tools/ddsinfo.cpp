// ddsinfo: what each DDS file's header says and what the importer will do
// with it, or why it refuses it.  A diagnostic: it plans each file with the
// decoding library directly, without loading the plug-in.

#include <cstdio>
#include <cstring>

#include "dds_report.h"

int main(int argc, char **argv) {
    if (argc < 2 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc < 2 ? stderr : stdout,
                     "usage: ddsinfo FILE.dds ...\n"
                     "Prints what each file's header says (size, flags, pixel format, FourCC or masks,\n"
                     "mip count, data present and needed) and what the importer will do with it: the\n"
                     "texture type it reports, or the reason it refuses the file; then every image the\n"
                     "file holds (element, face, level, slice), its size, where it starts in the file\n"
                     "and whether the file holds it whole.\n"
                     "Exit status: 0 every file would be imported, 1 some would be refused, 2 usage.\n");
        return argc < 2 ? 2 : 0;
    }
    bool all = true;
    for (int i = 1; i < argc; ++i) all = ddsWriteReport(stdout, argv[i]) && all;
    return all ? 0 : 1;
}
