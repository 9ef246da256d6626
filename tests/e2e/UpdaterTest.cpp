// The real updater, started as its own process on a prepared installation and
// used as a player would: every scenario reads the windows and boxes it shows,
// presses what a player presses, and checks the files, the registry and the
// exit code afterwards. Every wait is bounded, so a hang fails instead of stalling.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "PayloadDecoder.h"
#include "Player.h"

namespace {

const wchar_t* const kMakerKey = L"Software\\KESTRAVO";
const wchar_t* const kGameKey = L"Software\\KESTRAVO\\ミルカナード";
const std::wstring kWindowTitle = L"アップデーター";
const std::wstring kStartCaption = L"アップデート開始";
const std::wstring kExitCaption = L"終了";
const std::wstring kNotInstalled = L"ゲーム本体が正常にインストールされていません。";

// A Unix path as Wine shows it: drive Z: is the Unix root.
std::wstring FromUnixPath(const std::string& unix)
{
    std::wstring path = L"Z:";
    for (char c : unix) path += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
    return path;
}

std::string ReadAll(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    CloseHandle(file);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::set<std::wstring> FileNames(const std::wstring& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names.insert(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The bytes a payload in resources/ decodes to: what the updater must write.
std::string Decoded(const char* payload)
{
    std::ifstream in(std::string(RQX_SOURCE_DIR) + "/resources/" + payload, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TMemoryStream input(bytes), output;
    DecodePayload(input, output);
    return std::string(output.Bytes().begin(), output.Bytes().end());
}

void SetGameDir(DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, kGameKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, L"GameDir", 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetGameDir(const std::wstring& folder)
{
    SetGameDir(REG_SZ, folder.c_str(), DWORD((folder.size() + 1) * sizeof(wchar_t)));
}

bool KeyExists(const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

const std::string kOldMed = "old game data";
const std::string kOldMbl = "old index";
const std::string kOldReadme = "old readme";

// A game installed in a fresh folder with a Japanese name, old files in it,
// and the registry pointing at it with a final backslash.
class Installation : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kMakerKey);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::wstring(temp) + L"rqx-e2e-" +
                  std::wstring(test->name(), test->name() + strlen(test->name())) + L"\\ミルカナード";
        Reset();
        program_ = FromUnixPath(RQX_UPDATER);
    }

    void TearDown() override
    {
        for (const auto& name : FileNames(folder_)) {
            SetFileAttributesW((folder_ + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((folder_ + L"\\" + name).c_str());
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kMakerKey);
    }

    // Puts the old installation back in folder_ and points the registry at it.
    void Reset()
    {
        SHCreateDirectory(folder_);
        WriteAll(Path(L"md_scr2.med"), kOldMed);
        WriteAll(Path(L"md_scr2.mbl"), kOldMbl);
        WriteAll(Path(L"readme.txt"), kOldReadme);
        SetGameDir(folder_ + L"\\");
    }

    static void SHCreateDirectory(const std::wstring& path)
    {
        for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
            CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        CreateDirectoryW(path.c_str(), nullptr);
    }

    std::wstring Path(const wchar_t* name) const { return folder_ + L"\\" + name; }

    void ExpectUntouched() const
    {
        EXPECT_EQ(ReadAll(Path(L"md_scr2.med")), kOldMed);
        EXPECT_EQ(ReadAll(Path(L"md_scr2.mbl")), kOldMbl);
        EXPECT_EQ(ReadAll(Path(L"readme.txt")), kOldReadme);
    }

    void ExpectUpdated() const
    {
        EXPECT_FALSE(Exists(Path(L"md_scr2.mbl")));
        EXPECT_EQ(ReadAll(Path(L"md_scr2.med")), Decoded("md_scr2.med.payload"));
        EXPECT_EQ(ReadAll(Path(L"readme.txt")), Decoded("readme.txt.payload"));
        EXPECT_EQ(FileNames(folder_), (std::set<std::wstring>{L"md_scr2.med", L"readme.txt"}));
    }

    // Starts the updater and waits for its window with both buttons enabled.
    HWND OpenWindow(Player& player)
    {
        HWND window = player.WaitForWindow(kWindowTitle);
        EXPECT_NE(window, nullptr) << "the updater's window did not appear";
        if (window != nullptr) {
            EXPECT_TRUE(IsWindowEnabled(FindButton(window, kStartCaption)));
            EXPECT_TRUE(IsWindowEnabled(FindButton(window, kExitCaption)));
        }
        return window;
    }

    // Dismisses a box with Enter on its OK button.
    static void Dismiss(Player& player, HWND box)
    {
        const auto ok = FindWindowExW(box, nullptr, L"Button", nullptr);
        ASSERT_NE(ok, nullptr);
        Click(ok);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the box did not close";
        (void)player;
    }

    // After a failed run: the error box says what (a path, say), the buttons stay
    // disabled, and only the title bar closes the window, with exit code 0.
    void ExpectFailedRunNaming(Player& player, HWND window, const std::wstring& what)
    {
        HWND box = player.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no error box";
        EXPECT_NE(MessageBoxText(box).find(what), std::wstring::npos)
            << "box text does not name " << ToUtf8(what);
        EXPECT_TRUE(MessageBoxHasIcon(box));
        Dismiss(player, box);
        EXPECT_FALSE(IsWindowEnabled(FindButton(window, kStartCaption)));
        EXPECT_FALSE(IsWindowEnabled(FindButton(window, kExitCaption)));
        Click(FindButton(window, kExitCaption));
        EXPECT_FALSE(player.WaitForExit(1s)) << "the disabled exit button ended the program";
        PressCloseBox(window);
        EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
    }

    static std::string ToUtf8(const std::wstring& text)
    {
        std::string out(
            size_t(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), 0);
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), int(out.size()), nullptr, nullptr);
        return out;
    }

    std::wstring folder_;
    std::wstring program_;
};

}  // namespace

TEST_F(Installation, EnterOnTheStartButtonUpdatesAndReportsCompletion)
{
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    // The banner: Image1 sits at (8, 8); its right-hand end holds no text. The X
    // server shows a new window a moment after it is visible to Windows.
    WaitUntil([&] { return ScreenPixel(window, 8 + 580, 8 + 192) == RGB(0, 0, 1); });
    EXPECT_EQ(ScreenPixel(window, 8 + 580, 8 + 0), RGB(0, 0, 255));
    EXPECT_EQ(ScreenPixel(window, 8 + 580, 8 + 96), RGB(0, 0, 128));
    EXPECT_EQ(ScreenPixel(window, 8 + 580, 8 + 192), RGB(0, 0, 1));

    PressKey(player.ThreadId(), VK_RETURN);
    HWND box = player.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no completion box";
    EXPECT_EQ(Text(box), L"情報");
    EXPECT_EQ(MessageBoxText(box), L"アップデート完了しました");
    EXPECT_TRUE(MessageBoxHasIcon(box));
    EXPECT_FALSE(IsWindowEnabled(FindButton(window, kStartCaption)));
    EXPECT_FALSE(IsWindowEnabled(FindButton(window, kExitCaption)));
    PressKey(player.ThreadId(), VK_RETURN);
    EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
    ExpectUpdated();
}

TEST_F(Installation, ExitButtonCloseBoxAndAltF4LeaveEverythingUntouched)
{
    const std::function<void(Player&, HWND)> ways[] = {
        [](Player&, HWND window) { Click(FindButton(window, kExitCaption)); },
        [](Player&, HWND window) { PressCloseBox(window); },
        [](Player& player, HWND) { PressKey(player.ThreadId(), VK_F4, true); },
    };
    for (const auto& leave : ways) {
        Player player(program_);
        HWND window = OpenWindow(player);
        ASSERT_NE(window, nullptr);
        leave(player, window);
        EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
        ExpectUntouched();
    }
}

TEST_F(Installation, MissingInstallationShowsOneBoxAndEnds)
{
    const DWORD nothing = 0;
    const std::function<void()> cases[] = {
        [] { RegDeleteTreeW(HKEY_CURRENT_USER, kMakerKey); },
        [] { SetGameDir(std::wstring()); },
        [&] { SetGameDir(REG_BINARY, &nothing, 0); },
    };
    for (const auto& breakIt : cases) {
        breakIt();
        Player player(program_);
        HWND box = player.WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(Text(box), L"中止");
        EXPECT_EQ(MessageBoxText(box), kNotInstalled);
        EXPECT_FALSE(MessageBoxHasIcon(box));
        Dismiss(player, box);
        EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
        EXPECT_TRUE(KeyExists(kMakerKey));
        ExpectUntouched();
    }
}

TEST_F(Installation, WrongValueTypeShowsTheErrorThenTheNotInstalledBox)
{
    // The error box's caption comes from the program's file name.
    const std::wstring copy = folder_ + L"\\..\\RQX_Patch.v2.EXE";
    ASSERT_TRUE(CopyFileW(program_.c_str(), copy.c_str(), FALSE));
    const DWORD number = 42;
    SetGameDir(REG_DWORD, &number, sizeof number);
    {
        Player player(copy);
        HWND error = player.WaitForMessageBox();
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(Text(error), L"Rqx_patch");
        EXPECT_EQ(MessageBoxText(error), L"'GameDir' のデータ型が不正です.");
        EXPECT_TRUE(MessageBoxHasIcon(error));
        Dismiss(player, error);
        HWND box = player.WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), kNotInstalled);
        Dismiss(player, box);
        EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
    }
    DeleteFileW(copy.c_str());
}

TEST_F(Installation, SecondInstanceEndsAtOnceWithCodeOne)
{
    Player first(program_);
    HWND window = OpenWindow(first);
    ASSERT_NE(window, nullptr);
    {
        Player second(program_);
        EXPECT_EQ(second.WaitForExit(), std::optional<DWORD>(1));
        EXPECT_TRUE(second.Windows().empty());
    }
    EXPECT_TRUE(IsWindowEnabled(FindButton(window, kStartCaption)));
    PressCloseBox(window);
    EXPECT_EQ(first.WaitForExit(), std::optional<DWORD>(0));
    ExpectUntouched();
}

TEST_F(Installation, SecondInstanceIsRefusedWhileTheFirstShowsItsNotInstalledBox)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kMakerKey);
    Player first(program_);
    HWND box = first.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    {
        Player second(program_);
        EXPECT_EQ(second.WaitForExit(), std::optional<DWORD>(1));
    }
    EXPECT_TRUE(IsWindow(box));
    Dismiss(first, box);
    EXPECT_EQ(first.WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(Installation, ReadOnlyGameDataStopsTheRunAndKeepsTheOldFile)
{
    SetFileAttributesW(Path(L"md_scr2.med").c_str(), FILE_ATTRIBUTE_READONLY);
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    Click(FindButton(window, kStartCaption));
    ExpectFailedRunNaming(player, window, Path(L"md_scr2.med"));
    EXPECT_EQ(ReadAll(Path(L"md_scr2.med")), kOldMed);
    EXPECT_EQ(ReadAll(Path(L"readme.txt")), kOldReadme);
    EXPECT_EQ(FileNames(folder_), (std::set<std::wstring>{L"md_scr2.med", L"readme.txt"}));
}

TEST_F(Installation, GameDataHeldOpenByAnotherProgramStopsTheRunAndKeepsTheOldFile)
{
    HANDLE held =
        CreateFileW(Path(L"md_scr2.med").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    Click(FindButton(window, kStartCaption));
    ExpectFailedRunNaming(player, window, Path(L"md_scr2.med"));
    CloseHandle(held);
    EXPECT_EQ(ReadAll(Path(L"md_scr2.med")), kOldMed);
    EXPECT_EQ(ReadAll(Path(L"readme.txt")), kOldReadme);
    EXPECT_EQ(FileNames(folder_), (std::set<std::wstring>{L"md_scr2.med", L"readme.txt"}));
}

TEST_F(Installation, MissingFolderStopsTheRunNamingTheGameDataPath)
{
    const std::wstring gone = folder_ + L"\\消えたフォルダ\\";
    SetGameDir(gone);
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    Click(FindButton(window, kStartCaption));
    ExpectFailedRunNaming(player, window, gone + L"md_scr2.med");
    EXPECT_FALSE(Exists(gone));
    ExpectUntouched();
}

TEST_F(Installation, FullDiskStopsTheRunWithoutLosingTheOldFile)
{
    // A file system too small for the new game data, made for this test by ctest.
    const char* disk = std::getenv("RQX_SMALL_DISK");
    if (disk == nullptr || !Exists(FromUnixPath(disk)))
        GTEST_SKIP() << "no small file system was mounted for this test";
    folder_ = FromUnixPath(disk);
    Reset();
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    Click(FindButton(window, kStartCaption));
    // The write fails part-way; the stream's own error says so, without a path.
    ExpectFailedRunNaming(player, window, L"ストリームへの書き込みエラー.");
    EXPECT_EQ(ReadAll(Path(L"md_scr2.med")), kOldMed);
    EXPECT_EQ(ReadAll(Path(L"readme.txt")), kOldReadme);
    EXPECT_EQ(FileNames(folder_), (std::set<std::wstring>{L"md_scr2.med", L"readme.txt"}));
}

TEST_F(Installation, ReadOnlyReadmeStopsAfterTheGameDataIsReplaced)
{
    SetFileAttributesW(Path(L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    Click(FindButton(window, kStartCaption));
    ExpectFailedRunNaming(player, window, Path(L"readme.txt"));
    EXPECT_EQ(ReadAll(Path(L"md_scr2.med")), Decoded("md_scr2.med.payload"));
    EXPECT_EQ(ReadAll(Path(L"readme.txt")), kOldReadme);
    EXPECT_EQ(FileNames(folder_), (std::set<std::wstring>{L"md_scr2.med", L"readme.txt"}));
}

TEST_F(Installation, FolderWithoutFinalBackslashStillGetsTheFilesInside)
{
    SetGameDir(folder_);
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    Click(FindButton(window, kStartCaption));
    HWND box = player.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"アップデート完了しました");
    Dismiss(player, box);
    EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
    ExpectUpdated();
}

TEST_F(Installation, CloseBoxRightAfterStartStillWritesBothFilesAndEnds)
{
    Player player(program_);
    HWND window = OpenWindow(player);
    ASSERT_NE(window, nullptr);
    // Both reach the queue before the run lets messages through.
    PressKey(player.ThreadId(), VK_RETURN);
    PressCloseBox(window);
    EXPECT_EQ(player.WaitForExit(), std::optional<DWORD>(0));
    ExpectUpdated();
}
