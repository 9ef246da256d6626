#include "Unit1.h"

#include "Registry.h"
#include "UpdateFiles.h"

std::string InstallDir;

namespace {
// The maker's key below HKEY_CURRENT_USER, the game's subkey below it, and the value.
const char kKeyPrefix[] = "Software\\";
const char kMaker[] = "KESTRAVO";
const char kTitle[] = "ミルカナード";
const char kValueName[] = "GameDir";
}  // namespace

void TForm1::ReadInstallDir()
{
    const TRegIniFile registry(std::string(kKeyPrefix) + kMaker);
    InstallDir = registry.ReadString(kTitle, kValueName, "");
}

void TForm1::CheckInstallDir()
{
    if (InstallDir.empty() && OnNotInstalled) OnNotInstalled();
}

bool TForm1::ExtractResource(std::string name, std::string path)
{
    ExtractPayload(name, path);
    return true;
}
