#include "Unit1.h"

#include "Dialogs.h"
#include "Registry.h"
#include "UpdateFiles.h"

std::string InstallDir;
TForm1* Form1 = nullptr;

namespace {
// The product title: it names the game's registry key and opens the banner.
const char kTitle[] = "ミルカナード";
// The maker's key below HKEY_CURRENT_USER, and the value below the title's subkey.
const char kKeyPrefix[] = "Software\\";
const char kMaker[] = "KESTRAVO";
const char kValueName[] = "GameDir";

struct BannerLine {
    int y;
    std::string text;
};

// The banner's lines, at x = 10; the second and third are one sentence.
const BannerLine kBannerLines[] = {
    {10, std::string("『") + kTitle + "』をお買い求めいただき、まことにありがとうございます。"},
    {50, "このたびは、製品の不具合により、お客様各位に多大なご迷惑を"},
    {70, "おかけしましたこと、深くお詫び申し上げます。"},
    {95, "本プログラムは製品の不具合を修正するものです。"},
    {130, "[アップデート開始] ボタンで自動的にアップデートを開始します。"},
};
}  // namespace

const TFormClass TForm1::kClass = {
    "TForm1",
    {PublishedField<&TForm1::Image1>("Image1"), PublishedField<&TForm1::Button1>("Button1"),
     PublishedField<&TForm1::Button3>("Button3")},
    {PublishedMethod<&TForm1::FormCreate>("FormCreate"), PublishedMethod<&TForm1::FormShow>("FormShow"),
     PublishedMethod<&TForm1::Button1Click>("Button1Click"),
     PublishedMethod<&TForm1::Button3Click>("Button3Click")},
};

TForm1::TForm1(TComponent* owner) : TForm(owner)
{
    InitForm(kClass);
}

void TForm1::FormCreate(TObject*)
{
    SetLeft(CentredPosition(Screen->Width(), Width()));
    SetTop(CentredPosition(Screen->Height(), Height()));
    ReadInstallDir();
}

void TForm1::FormShow(TObject*)
{
    PaintBanner();
    CheckInstallDir();
}

void TForm1::Button1Click(TObject*)
{
    DeleteIndexFile(InstallDir);
    Button1->SetEnabled(false);
    Button3->SetEnabled(false);
    // Lets the buttons be drawn disabled before the long work; the only other
    // point where messages are handled is the completion dialog.
    Application->ProcessMessages();
    ReplaceGameFiles(InstallDir);
    MessageDlg("アップデート完了しました", mtInformation, {mbOK}, 0);
    Close();
}

void TForm1::Button3Click(TObject*)
{
    Close();
}

void TForm1::PaintBanner()
{
    TCanvas& canvas = Image1->Canvas();
    const int h = Image1->Height();
    for (int i = 0; i < h; ++i) {
        const int blue = ((h - i) * 255) / h;
        canvas.Brush().SetColor(TColor(blue * 65536));
        canvas.FillRect({0, i, Image1->Width(), i + 1});
    }
    canvas.Brush().SetStyle(bsClear);
    canvas.Font().SetHeight(16);  // a cell height of 16 pixels
    canvas.Font().SetColor(clWhite);
    for (const BannerLine& line : kBannerLines) canvas.TextOut(10, line.y, line.text);
}

void TForm1::ReadInstallDir()
{
    const TRegIniFile registry(std::string(kKeyPrefix) + kMaker);
    InstallDir = registry.ReadString(kTitle, kValueName, "");
}

void TForm1::CheckInstallDir()
{
    if (!InstallDir.empty()) return;
    Application->MessageBox("ゲーム本体が正常にインストールされていません。", "中止", 0);
    Close();
}

bool TForm1::ExtractResource(std::string name, std::string path)
{
    ExtractPayload(name, path);
    return true;
}
