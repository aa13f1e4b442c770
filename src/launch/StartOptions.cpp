#include "launch/StartOptions.h"

#include "archive/ArchiveReader.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

bool parseStartOptions(const char* bytes, size_t length, StartOptions* options) {
    if (!bytes || length == 0) return false;
    LineArray<char> lines(splitMetadataLines(bytes, length, START_OPTIONS_LINE_BREAK));
    options->listFileLine = lines ? findLineIndexByPrefix(lines.get(), START_OPTION_NAMES_IN_LIST_FILE) : -1;
    options->namesInListFile = options->listFileLine >= 0;
    return true;
}

bool readStartOptions(const PathChar* archivePath, StartOptions* options) {
    MetadataMember member(archivePath, MEMBER_STARTOPTIONS);
    return member.present() && parseStartOptions(member.data(), member.length(), options);
}

bool writeNameList(FILE* out, const WChar* names) {
    if (!names) return false;
    // A list cut short by a failed record gets no end record, so the reader
    // cannot take it for the whole list.
    if (writeStringRecordList(out, names) < 0) return false;
    return writeStringListEnd(out) == 4;
}
