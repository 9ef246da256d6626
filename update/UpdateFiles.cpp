#include "UpdateFiles.h"

#include "FileStreams.h"
#include "PayloadDecoder.h"
#include "Text.h"

const char kIndexFileName[] = "md_scr2.mbl";

namespace {

// The files that the run writes, in the order it writes them, with the resource
// that carries each.
struct GameFile {
    const char* fileName;
    const char* resourceName;
};
constexpr GameFile kGameFiles[] = {
    {"md_scr2.med", "SCR2"},
    {"readme.txt", "TXT"},
};

bool EndsWithSeparator(const std::string& folder)
{
    // Walk to the start of the last character; a lead byte takes its trail byte along.
    std::size_t last = 0;
    for (std::size_t i = 0; i < folder.size(); ++i) {
        last = i;
        if (IsLeadByte(static_cast<unsigned char>(folder[i]))) ++i;
    }
    return last + 1 == folder.size() && (folder[last] == '\\' || folder[last] == '/');
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& fileName)
{
    if (folder.empty() || EndsWithSeparator(folder)) return folder + fileName;
    return folder + '\\' + fileName;
}

void ExtractPayload(const std::string& name, const std::string& path)
{
    // The resource first: a payload that is missing never touches the target.
    TResourceStream payload(name);
    TFileReplacement file(path);
    DecodePayload(payload, file);
    file.Commit();
}

void DeleteIndexFile(const std::string& installDir)
{
    DeleteFile(JoinPath(installDir, kIndexFileName));
}

void ReplaceGameFiles(const std::string& installDir)
{
    for (const GameFile& file : kGameFiles)
        ExtractPayload(file.resourceName, JoinPath(installDir, file.fileName));
}
