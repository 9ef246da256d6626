// The unit Unit1: the updater's window class TForm1 and the installation folder.
#pragma once

#include <string>

#include "Controls.h"
#include "FormLoader.h"
#include "Forms.h"

// The game's installation folder as the registry holds it; empty until
// ReadInstallDir finds one, and read only afterwards.
extern std::string InstallDir;

// The updater's one window: the banner, the start button and the exit button.
// Its layout, captions and handler bindings come from the description TFORM1.
class TForm1 : public TForm {
public:
    TImage* Image1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button3 = nullptr;

    explicit TForm1(TComponent* owner);

    // Centres the window on the screen, then reads the installation folder.
    void FormCreate(TObject* sender);
    // Paints the banner, then ends the program if the game is not installed.
    void FormShow(TObject* sender);
    // The update run.
    void Button1Click(TObject* sender);
    // Closes the window, which ends the program.
    void Button3Click(TObject* sender);

    // Draws the banner into Image1's picture: a blue gradient and five lines of white text.
    void PaintBanner();

    // Reads the folder from HKEY_CURRENT_USER\Software\KESTRAVO\ミルカナード, value
    // "GameDir", into InstallDir. May raise ERegistryException, and InstallDir
    // then keeps its value. Uses nothing of the window.
    static void ReadInstallDir();
    // When InstallDir is empty, tells the player that the game is not installed
    // and closes the window.
    void CheckInstallDir();
    // Writes the decoded payload of the named resource to path; see ExtractPayload.
    // Uses nothing of the window; returns true whenever it returns.
    static bool ExtractResource(std::string name, std::string path);

private:
    static const TFormClass kClass;
};

extern TForm1* Form1;
