// Forms built from their window descriptions: what the description gives the
// window, what a description that cannot be read does, the handlers' moments,
// the keyboard, scrolling, and exceptions escaping the handlers.
#include <windows.h>

#include <gtest/gtest.h>
#include <memory>
#include <new>
#include <string>

#include "Forms.h"
#include "Text.h"
#include "UiTestSupport.h"

namespace {

// A control's window's place in its form's client area.
RECT PlaceInClient(HWND control)
{
    RECT bounds;
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

LONG_PTR Style(HWND window)
{
    return GetWindowLongPtrW(window, GWL_STYLE);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { TTestForm::Script = {}; }

    void Make() { form_ = std::make_unique<TTestForm>(nullptr); }

    // Shows the form and lets it settle: activation, focus, painting.
    void MakeShown()
    {
        Make();
        form_->Show();
        SetForegroundWindow(form_->Handle());
        Application->ProcessMessages();
    }

    // Posts a key press to the window that has the focus, and handles it.
    void Press(WPARAM key)
    {
        const HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
        Application->ProcessMessages();
    }

    std::unique_ptr<TTestForm> form_;
};

TEST_F(FormTest, TakesItsBoundsFromTheDescriptionBeforeAndAfterItsWindowIsMade)
{
    Make();
    EXPECT_EQ(form_->Left(), 120);
    EXPECT_EQ(form_->Top(), 80);
    EXPECT_EQ(form_->Width(), 640);
    EXPECT_EQ(form_->Height(), 300);
    RECT bounds;
    GetWindowRect(form_->Handle(), &bounds);
    ExpectRect(bounds, 120, 80, 760, 380);
    ExpectRect(PlaceInClient(form_->Picture->Handle()), 8, 8, 601, 201);
    ExpectRect(PlaceInClient(form_->Sooner->Handle()), 8, 216, 121, 249);
    ExpectRect(PlaceInClient(form_->Later->Handle()), 496, 216, 579, 249);
}

TEST_F(FormTest, SettingTheBoundsBeforeTheWindowExistsPlacesIt)
{
    Make();
    form_->SetLeft(-9);
    form_->SetTop(-1);
    RECT bounds;
    GetWindowRect(form_->Handle(), &bounds);
    ExpectRect(bounds, -9, -1, -9 + 640, -1 + 300);
}

TEST_F(FormTest, TakesItsCaptionsFromTheDescription)
{
    Make();
    EXPECT_EQ(form_->Caption(), "テスト用ウィンドウ");
    EXPECT_EQ(WindowText(form_->Handle()), L"テスト用ウィンドウ");
    EXPECT_EQ(WindowText(form_->Sooner->Handle()), L"It's 先");
    EXPECT_EQ(WindowText(form_->Later->Handle()), L"後で");
}

TEST_F(FormTest, GivesItsButtonsTheDescriptionsFont)
{
    Make();
    const auto font = reinterpret_cast<HFONT>(SendMessageW(form_->Sooner->Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(form_->Later->Handle(), WM_GETFONT, 0, 0)), font);
    LOGFONTW described{};
    ASSERT_NE(GetObjectW(font, sizeof(described), &described), 0);
    EXPECT_EQ(std::wstring(described.lfFaceName), L"ＭＳ Ｐゴシック");
    EXPECT_EQ(described.lfHeight, -12);
    EXPECT_EQ(described.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(described.lfWeight, FW_NORMAL);
    EXPECT_FALSE(described.lfItalic);
}

TEST_F(FormTest, HasASizeableFrameASystemMenuAndBothBoxes)
{
    Make();
    const LONG_PTR style = Style(form_->Handle());
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_VISIBLE);
}

TEST_F(FormTest, OrdersTabByTabOrderAndNotByPlaceInTheDescription)
{
    Make();
    const HWND window = form_->Handle();
    EXPECT_EQ(GetNextDlgTabItem(window, nullptr, FALSE), form_->Sooner->Handle());
    EXPECT_EQ(GetNextDlgTabItem(window, form_->Sooner->Handle(), FALSE), form_->Later->Handle());
    EXPECT_EQ(GetNextDlgTabItem(window, form_->Later->Handle(), FALSE), form_->Sooner->Handle());
}

TEST_F(FormTest, RunsOnCreateOnceInsideConstructionWithItsFieldsFilled)
{
    Make();
    EXPECT_EQ(form_->creates, 1);
    EXPECT_TRUE(form_->fieldsFilledAtCreate);
    EXPECT_EQ(form_->shows, 0);
}

TEST_F(FormTest, BindsTheClickHandlersByName)
{
    MakeShown();
    SendMessageW(form_->Sooner->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form_->soonerClicks, 1);
    EXPECT_EQ(form_->laterClicks, 0);
    SendMessageW(form_->Later->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form_->laterClicks, 1);
}

TEST_F(FormTest, ShowsAnExceptionFromOnCreateAndIsBuiltAllTheSame)
{
    TTestForm::Script.create = [](TTestForm&) { throw ERegistryException("'GameDir' のデータ型が不正です"); };
    const TMessageBoxWatcher watcher;
    Make();
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    const TShownBox& box = watcher.Boxes()[0];
    EXPECT_EQ(box.text, L"'GameDir' のデータ型が不正です.");
    EXPECT_EQ(box.caption, ToWide(Application->Title()));
    EXPECT_EQ(box.owner, Application->Handle());
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(box.icon, SystemIcon(IDI_ERROR));
    EXPECT_NE(form_->Later, nullptr);
    EXPECT_EQ(WindowText(form_->Handle()), L"テスト用ウィンドウ");
}

TEST_F(FormTest, TitlesTheExceptionBoxWithTheProgramsName)
{
    EXPECT_EQ(Application->Title(), "classlib_ui_test");
}

TEST_F(FormTest, RunsOnShowOnceWhileTheWindowIsStillHidden)
{
    Make();
    form_->Show();
    EXPECT_EQ(form_->shows, 1);
    EXPECT_FALSE(form_->visibleAtShow);
    EXPECT_TRUE(IsWindowVisible(form_->Handle()));
    ShowWindow(form_->Handle(), SW_MINIMIZE);
    ShowWindow(form_->Handle(), SW_RESTORE);
    EXPECT_EQ(form_->shows, 1);
}

TEST_F(FormTest, ShowsAnExceptionFromOnShowAndShowsTheWindowAllTheSame)
{
    TTestForm::Script.show = [](TTestForm&) { throw EOutOfResources("システム リソースが足りません"); };
    const TMessageBoxWatcher watcher;
    Make();
    form_->Show();
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, L"システム リソースが足りません.");
    EXPECT_TRUE(IsWindowVisible(form_->Handle()));
}

TEST_F(FormTest, ShownMinimisedRunsOnShowWhenFirstRestored)
{
    Make();
    form_->Show(SW_SHOWMINNOACTIVE);
    EXPECT_EQ(form_->shows, 0);
    ShowWindow(form_->Handle(), SW_RESTORE);
    EXPECT_EQ(form_->shows, 1);
    ShowWindow(form_->Handle(), SW_MINIMIZE);
    ShowWindow(form_->Handle(), SW_RESTORE);
    EXPECT_EQ(form_->shows, 1);
}

TEST_F(FormTest, ClosingAFormThatIsNotTheMainOneHidesIt)
{
    MakeShown();
    ASSERT_NE(Application->MainForm(), form_.get());
    form_->Close();
    EXPECT_FALSE(IsWindowVisible(form_->Handle()));
    EXPECT_FALSE(Application->Terminated());
}

TEST_F(FormTest, PutsTheFocusOnTheFirstControlInTabOrder)
{
    MakeShown();
    EXPECT_EQ(GetFocus(), form_->Sooner->Handle());
}

TEST_F(FormTest, EnterClicksTheFocusedButton)
{
    MakeShown();
    Press(VK_RETURN);
    EXPECT_EQ(form_->soonerClicks, 1);
    SetFocus(form_->Later->Handle());
    Press(VK_RETURN);
    EXPECT_EQ(form_->laterClicks, 1);
    EXPECT_EQ(form_->soonerClicks, 1);
}

TEST_F(FormTest, SpaceClicksTheFocusedButton)
{
    MakeShown();
    Press(VK_SPACE);
    EXPECT_EQ(form_->soonerClicks, 1);
}

TEST_F(FormTest, TabMovesTheFocusToTheNextButtonAndRoundAgain)
{
    MakeShown();
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), form_->Later->Handle());
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), form_->Sooner->Handle());
}

TEST_F(FormTest, DisablingTheFocusedButtonPassesTheFocusOn)
{
    MakeShown();
    form_->Sooner->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(form_->Sooner->Handle()));
    EXPECT_EQ(GetFocus(), form_->Later->Handle());
    form_->Later->SetEnabled(false);
    EXPECT_EQ(GetFocus(), form_->Handle());
    Press(VK_RETURN);
    Press(VK_SPACE);
    EXPECT_EQ(form_->soonerClicks + form_->laterClicks, 0);
}

TEST_F(FormTest, RegainsTheFocusItHadWhenActivatedAgain)
{
    MakeShown();
    SetFocus(form_->Later->Handle());
    const TMessageBoxWatcher watcher;
    Application->MessageBox("確認", "テスト", MB_OK);
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus(), form_->Later->Handle());
}

TEST_F(FormTest, BringsUpScrollBarsWhenMadeSmallerThanItsControls)
{
    Make();
    form_->SetWidth(300);
    EXPECT_TRUE(Style(form_->Handle()) & WS_HSCROLL);
    EXPECT_FALSE(Style(form_->Handle()) & WS_VSCROLL);
    form_->SetHeight(150);
    EXPECT_TRUE(Style(form_->Handle()) & WS_VSCROLL);
    form_->SetWidth(640);
    form_->SetHeight(300);
    EXPECT_FALSE(Style(form_->Handle()) & (WS_HSCROLL | WS_VSCROLL));
}

TEST_F(FormTest, ScrollingMovesTheControlsAndGrowingBringsThemBack)
{
    Make();
    form_->SetWidth(300);
    SendMessageW(form_->Handle(), WM_HSCROLL, SB_LINERIGHT, 0);
    ExpectRect(PlaceInClient(form_->Picture->Handle()), 0, 8, 593, 201);
    form_->SetWidth(640);
    ExpectRect(PlaceInClient(form_->Picture->Handle()), 8, 8, 601, 201);
}

TEST_F(FormTest, KeepsItsControlsInPlaceWhenResizedOrMaximised)
{
    MakeShown();
    form_->SetWidth(900);
    form_->SetHeight(500);
    ExpectRect(PlaceInClient(form_->Later->Handle()), 496, 216, 579, 249);
    ShowWindow(form_->Handle(), SW_MAXIMIZE);
    ExpectRect(PlaceInClient(form_->Later->Handle()), 496, 216, 579, 249);
    ExpectRect(PlaceInClient(form_->Picture->Handle()), 8, 8, 601, 201);
}

TEST_F(FormTest, ShowsAnExceptionFromAClickHandlerAndGoesOn)
{
    int clicks = 0;
    TTestForm::Script.soonerClick = [&](TTestForm&) {
        if (++clicks == 1) throw EFCreateError("ファイル C:\\ゲーム\\md_scr2.med を作成できません");
    };
    MakeShown();
    const TMessageBoxWatcher watcher;
    PostMessageW(form_->Sooner->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    PostMessageW(form_->Sooner->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(form_->soonerClicks, 2);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, L"ファイル C:\\ゲーム\\md_scr2.med を作成できません.");
    EXPECT_TRUE(IsWindowVisible(form_->Handle()));
}

TEST_F(FormTest, ShowsAForeignExceptionAsAnExternalOne)
{
    TTestForm::Script.soonerClick = [](TTestForm&) { throw std::bad_alloc(); };
    MakeShown();
    const TMessageBoxWatcher watcher;
    SendMessageW(form_->Sooner->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, L"外部例外 E06D7363.");
    EXPECT_EQ(watcher.Boxes()[0].icon, SystemIcon(IDI_ERROR));
}

// A form whose description has a fault; each case names its own class, and with
// it its description.
class TBrokenForm : public TForm {
public:
    TButton* Button = nullptr;

    TBrokenForm(TComponent* owner, const TFormClass& formClass) : TForm(owner) { InitForm(formClass); }

    void Click(TObject*) {}
};

struct BrokenCase {
    const char* className;
    const char* message;
};

class BrokenDescriptionTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenDescriptionTest, RaisesAReadErrorThatSaysWhereAndWhat)
{
    const TFormClass formClass = {GetParam().className,
                                  {PublishedField<&TBrokenForm::Button>("Button")},
                                  {PublishedMethod<&TBrokenForm::Click>("Click")}};
    try {
        TBrokenForm form(nullptr, formClass);
        ADD_FAILURE() << "no exception";
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenDescriptionTest,
    ::testing::Values(
        BrokenCase{"TUnknownProperty",
                   "フォーム記述 TUNKNOWNPROPERTY の 3 行目: プロパティ Widht はありません"},
        BrokenCase{"TNotAnInteger", "フォーム記述 TNOTANINTEGER の 2 行目: 整数のはずです"},
        BrokenCase{"TMissingEnd", "フォーム記述 TMISSINGEND の 4 行目: end がありません"},
        BrokenCase{"TUnknownClass", "フォーム記述 TUNKNOWNCLASS の 4 行目: クラス TLabel はありません"},
        BrokenCase{"TUnknownHandler", "フォーム記述 TUNKNOWNHANDLER の 3 行目: ハンドラ Clik はありません"},
        BrokenCase{"TMissingComponent", "フォーム記述 TMISSINGCOMPONENT に部品 Button がありません"},
        BrokenCase{"TWrongClass", "フォーム記述 TWRONGCLASS の 1 行目: TWrongClass の記述ではありません"},
        BrokenCase{"TUnclosedString", "フォーム記述 TUNCLOSEDSTRING の 2 行目: 文字列が閉じていません"},
        BrokenCase{"TFieldOfAnotherType",
                   "フォーム記述 TFIELDOFANOTHERTYPE の 2 行目: 部品 Button の型がフィールドと合いません"},
        BrokenCase{"TTrailingLines",
                   "フォーム記述 TTRAILINGLINES の 5 行目: 最後の end の後に行が続いています"},
        BrokenCase{"TNestedComponent", "フォーム記述 TNESTEDCOMPONENT の 3 行目: 部品の中に部品は置けません"},
        BrokenCase{"TNotAnObject", "フォーム記述 TNOTANOBJECT の 1 行目: 'object 名前: クラス' のはずです"},
        BrokenCase{"TNoValue", "フォーム記述 TNOVALUE の 2 行目: 'プロパティ = 値' のはずです"},
        BrokenCase{"TNotCodePage932",
                   "フォーム記述 TNOTCODEPAGE932 の 2 行目: 文字列がコード ページ 932 の文字で書けません"}));

TEST(MissingDescription, RaisesResourceNotFound)
{
    const TFormClass formClass = {"TNoSuchForm", {}, {}};
    try {
        TBrokenForm form(nullptr, formClass);
        ADD_FAILURE() << "no exception";
    } catch (const EResNotFound& error) {
        EXPECT_EQ(error.Message(), "TNOSUCHFORM リソースが見つかりません");
    }
}

}  // namespace
