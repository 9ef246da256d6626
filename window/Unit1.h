// The unit Unit1: the updater's window class TForm1 and the installation folder.
#pragma once

#include <functional>
#include <string>

// The game's installation folder as the registry holds it; empty until
// ReadInstallDir finds one, and read only afterwards.
extern std::string InstallDir;

class TForm1 {
public:
    // Reads the folder from HKEY_CURRENT_USER\Software\KESTRAVO\ミルカナード, value
    // "GameDir", into InstallDir. May raise ERegistryException, and InstallDir
    // then keeps its value.
    void ReadInstallDir();

    // When InstallDir is empty, runs OnNotInstalled, which tells the player that
    // the game is not installed and closes the window.
    void CheckInstallDir();

    // Writes the decoded payload of the named resource to path; see ExtractPayload.
    bool ExtractResource(std::string name, std::string path);

    std::function<void()> OnNotInstalled;
};
