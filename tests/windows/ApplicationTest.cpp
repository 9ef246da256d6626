// The application object: handling what is waiting, its message boxes, the
// message dialog, and its life with a main form. Ending the application and
// making its main form happen once in a process, so those tests run in a child
// process of their own (GoogleTest's death tests, here ending normally).
#include <windows.h>

#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>

#include "Dialogs.h"
#include "Forms.h"
#include "Text.h"
#include "UiTestSupport.h"

namespace {

// A shown, active form of the test description.
std::unique_ptr<TTestForm> ShownForm()
{
    TTestForm::Script = {};
    auto form = std::make_unique<TTestForm>(nullptr);
    form->Show();
    SetForegroundWindow(form->Handle());
    Application->ProcessMessages();
    return form;
}

// Runs body in the child process of a death test, which then exits with 0 when
// every check held.
void InOwnProcess(const std::function<void(TChildChecks&)>& body)
{
    TChildChecks checks;
    body(checks);
    checks.Exit();
}

TEST(ProcessMessages, HandlesWhatIsWaitingPaintIncludedAndReturns)
{
    const auto form = ShownForm();
    UpdateWindow(form->Handle());
    PostMessageW(form->Sooner->Handle(), BM_CLICK, 0, 0);
    InvalidateRect(form->Picture->Handle(), nullptr, FALSE);
    Application->ProcessMessages();
    EXPECT_EQ(form->soonerClicks, 1);
    RECT dirty{};
    EXPECT_FALSE(GetUpdateRect(form->Picture->Handle(), &dirty, FALSE));
    EXPECT_FALSE(Application->Terminated());
}

TEST(ApplicationMessageBox, IsOwnedByTheHiddenWindowAndDisablesTheOtherWindowsWhileUp)
{
    const auto form = ShownForm();
    SetFocus(form->Later->Handle());
    bool formEnabledWhileUp = true;
    const TMessageBoxWatcher watcher(
        [&](HWND) { formEnabledWhileUp = IsWindowEnabled(form->Handle()) != FALSE; });

    Application->MessageBox("ゲーム本体が正常にインストールされていません。", "中止", 0);

    ASSERT_EQ(watcher.Boxes().size(), 1u);
    const TShownBox& box = watcher.Boxes()[0];
    EXPECT_EQ(box.caption, L"中止");
    EXPECT_EQ(box.text, L"ゲーム本体が正常にインストールされていません。");
    EXPECT_EQ(box.owner, Application->Handle());
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(box.icon, nullptr);
    EXPECT_FALSE(formEnabledWhileUp);
}

TEST(ApplicationMessageBox, GivesBackTheActiveWindowAndTheFocusAfterwards)
{
    const auto form = ShownForm();
    SetFocus(form->Later->Handle());
    const TMessageBoxWatcher watcher;
    Application->MessageBox("確認", "テスト", MB_OK);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    EXPECT_EQ(GetFocus(), form->Later->Handle());
}

TEST(MessageDialog, IsAModalInformationBoxTitledJohoWithOneOkButton)
{
    const auto form = ShownForm();
    bool formEnabledWhileUp = true;
    const TMessageBoxWatcher watcher(
        [&](HWND) { formEnabledWhileUp = IsWindowEnabled(form->Handle()) != FALSE; });

    EXPECT_EQ(MessageDlg("アップデート完了しました", mtInformation, {mbOK}, 0), mrOk);

    ASSERT_EQ(watcher.Boxes().size(), 1u);
    const TShownBox& box = watcher.Boxes()[0];
    EXPECT_EQ(box.caption, L"情報");
    EXPECT_EQ(box.text, L"アップデート完了しました");
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(box.icon, SystemIcon(IDI_INFORMATION));
    EXPECT_FALSE(formEnabledWhileUp);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
}

TEST(MessageDialog, IsCentredOnTheScreen)
{
    const TMessageBoxWatcher watcher;
    MessageDlg("アップデート完了しました", mtInformation, {mbOK}, 0);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    const RECT& bounds = watcher.Boxes()[0].bounds;
    EXPECT_EQ(bounds.left, CentredPosition(GetSystemMetrics(SM_CXSCREEN), bounds.right - bounds.left));
    EXPECT_EQ(bounds.top, CentredPosition(GetSystemMetrics(SM_CYSCREEN), bounds.bottom - bounds.top));
}

// A form that cannot be built.
class TFailingForm : public TForm {
public:
    explicit TFailingForm(TComponent* owner) : TForm(owner) { throw EReadError("読めません"); }
};

TEST(CreateForm, ResetsTheReferenceWhenConstructionRaises)
{
    TFailingForm* form = nullptr;
    EXPECT_THROW(Application->CreateForm(form), EReadError);
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(ApplicationLifecycleDeathTest, CreateFormSetsTheReferenceFirstAndMakesTheFirstFormMain)
{
    EXPECT_EXIT(InOwnProcess([](TChildChecks& checks) {
                    TTestForm* first = nullptr;
                    bool referenceSetInCreate = false;
                    TTestForm::Script.create = [&](TTestForm& form) {
                        referenceSetInCreate = first == &form;
                    };
                    Application->CreateForm(first);
                    checks.Expect(referenceSetInCreate, "the reference is set before OnCreate runs");
                    checks.Expect(Application->MainForm() == first, "the first form is the main form");
                    checks.Expect(FindWindowW(L"TForm", L"テスト用ウィンドウ") != nullptr,
                                  "the main form has its window at once");
                    checks.Expect(!IsWindowVisible(first->Handle()), "the main form is not shown yet");

                    TTestForm::Script = {};
                    TTestForm* second = nullptr;
                    Application->CreateForm(second);
                    checks.Expect(Application->MainForm() == first, "a second form does not become main");
                }),
                ::testing::ExitedWithCode(0), "");
}

TEST(ApplicationLifecycleDeathTest, ClosingTheMainFormEndsTheApplicationWithTheWindowStillShown)
{
    EXPECT_EXIT(InOwnProcess([](TChildChecks& checks) {
                    TTestForm* form = nullptr;
                    Application->CreateForm(form);
                    form->Show();
                    form->Close();
                    checks.Expect(!Application->Terminated(),
                                  "nothing ends before the quit request is taken");
                    Application->ProcessMessages();
                    checks.Expect(Application->Terminated(), "the application is terminated");
                    checks.Expect(IsWindowVisible(form->Handle()) != FALSE, "the window is not hidden");
                }),
                ::testing::ExitedWithCode(0), "");
}

struct CloseRequest {
    const char* name;
    const char* what;
    // Keys go to the window with the focus, the rest to the form.
    bool toFocus;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class CloseRequestDeathTest : public ::testing::TestWithParam<CloseRequest> {};

TEST_P(CloseRequestDeathTest, EndsTheApplicationAsTheExitButtonDoes)
{
    EXPECT_EXIT(InOwnProcess([this](TChildChecks& checks) {
                    TTestForm* form = nullptr;
                    Application->CreateForm(form);
                    form->Show();
                    SetForegroundWindow(form->Handle());
                    Application->ProcessMessages();
                    PostMessageW(GetParam().toFocus ? GetFocus() : form->Handle(), GetParam().message,
                                 GetParam().wParam, GetParam().lParam);
                    Application->ProcessMessages();
                    checks.Expect(Application->Terminated(), GetParam().what);
                    checks.Expect(IsWindowVisible(form->Handle()) != FALSE, "the window is not hidden");
                }),
                ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CloseRequestDeathTest,
    ::testing::Values(CloseRequest{"CloseBox", "the close message", false, WM_CLOSE, 0, 0},
                      CloseRequest{"SystemMenu", "the system menu's close", false, WM_SYSCOMMAND, SC_CLOSE,
                                   0},
                      // The context code, bit 29, says that Alt is down.
                      CloseRequest{"AltF4", "Alt+F4", true, WM_SYSKEYDOWN, VK_F4, LPARAM(1 | (1 << 29))}),
    [](const ::testing::TestParamInfo<CloseRequest>& info) { return std::string(info.param.name); });

TEST(ApplicationLifecycleDeathTest, RunShowsTheMainFormRunsOnShowAndReturnsWhenTerminated)
{
    EXPECT_EXIT(InOwnProcess([](TChildChecks& checks) {
                    TTestForm::Script.show = [](TTestForm& form) { form.Close(); };
                    TTestForm* form = nullptr;
                    Application->CreateForm(form);
                    Application->Run();
                    checks.Expect(form->shows == 1, "OnShow ran once");
                    checks.Expect(!form->visibleAtShow, "OnShow ran while the window was hidden");
                    checks.Expect(IsWindowVisible(form->Handle()) != FALSE, "the window was shown");
                    checks.Expect(Application->Terminated(), "the application is terminated");
                }),
                ::testing::ExitedWithCode(0), "");
}

TEST(ApplicationLifecycleDeathTest, RunShowsAnExceptionFromAHandlerAndGoesOn)
{
    EXPECT_EXIT(InOwnProcess([](TChildChecks& checks) {
                    TTestForm::Script.show = [](TTestForm& form) {
                        PostMessageW(form.Sooner->Handle(), BM_CLICK, 0, 0);
                    };
                    TTestForm::Script.soonerClick = [](TTestForm& form) {
                        if (form.soonerClicks == 1) throw EWriteError("ストリームへの書き込みエラー");
                        form.Close();
                    };
                    TTestForm* form = nullptr;
                    // The second click is queued behind the box's OK, for the loop after the box.
                    const TMessageBoxWatcher watcher([&](HWND box) {
                        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                        PostMessageW(form->Sooner->Handle(), BM_CLICK, 0, 0);
                    });
                    Application->CreateForm(form);
                    Application->Run();
                    checks.Expect(form->soonerClicks == 2, "the second click ran after the failed first");
                    checks.Expect(watcher.Boxes().size() == 1, "one box was shown");
                    checks.Expect(!watcher.Boxes().empty() &&
                                      watcher.Boxes()[0].text == L"ストリームへの書き込みエラー.",
                                  "the box showed the message with a full stop");
                }),
                ::testing::ExitedWithCode(0), "");
}

TEST(ApplicationLifecycleDeathTest, ProcessMessagesTakesAQuitRequestAsTerminationAndHandlesTheRest)
{
    EXPECT_EXIT(InOwnProcess([](TChildChecks& checks) {
                    const auto form = ShownForm();
                    PostQuitMessage(0);
                    PostMessageW(form->Sooner->Handle(), BM_CLICK, 0, 0);
                    // The system hands out paint requests only after the quit request.
                    InvalidateRect(form->Picture->Handle(), nullptr, FALSE);
                    Application->ProcessMessages();
                    checks.Expect(Application->Terminated(), "the application is terminated");
                    checks.Expect(form->soonerClicks == 1, "the click was handled as well");
                    RECT dirty{};
                    checks.Expect(!GetUpdateRect(form->Picture->Handle(), &dirty, FALSE),
                                  "the paint request after it was handled as well");
                    MSG message;
                    checks.Expect(!PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE),
                                  "the quit request is taken, not left");
                }),
                ::testing::ExitedWithCode(0), "");
}

// The update run's case: the close box is used right after the start button, so
// the close request is waiting when the run lets messages through once.
TEST(ApplicationLifecycleDeathTest, AMessageDialogAfterTerminationClosesAtOnce)
{
    EXPECT_EXIT(InOwnProcess([](TChildChecks& checks) {
                    int dialogResult = 0;
                    TTestForm::Script.show = [](TTestForm& form) {
                        PostMessageW(form.Sooner->Handle(), BM_CLICK, 0, 0);
                    };
                    TTestForm::Script.soonerClick = [&](TTestForm& form) {
                        form.Sooner->SetEnabled(false);
                        form.Later->SetEnabled(false);
                        PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
                        Application->ProcessMessages();
                        dialogResult = MessageDlg("アップデート完了しました", mtInformation, {mbOK}, 0);
                        form.Close();
                    };
                    const TMessageBoxWatcher watcher;
                    TTestForm* form = nullptr;
                    Application->CreateForm(form);
                    Application->Run();
                    checks.Expect(form->soonerClicks == 1, "the run went through");
                    checks.Expect(dialogResult == mrCancel, "the dialog closed by itself");
                    checks.Expect(watcher.Boxes().empty(), "no box was shown");
                }),
                ::testing::ExitedWithCode(0), "");
}

}  // namespace
