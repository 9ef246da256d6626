#include "FormLoader.h"

#include <algorithm>
#include <charconv>

#include "FileStreams.h"
#include "Forms.h"
#include "SysUtils.h"
#include "Text.h"

namespace {

// What a UTF-8 file may begin with.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The colours and character sets a description may name.
struct TNamedColor {
    std::string_view name;
    TColor color;
};
constexpr TNamedColor kColors[] = {
    {"clBlack", clBlack},
    {"clWhite", clWhite},
    {"clBtnFace", clBtnFace},
    {"clWindowText", clWindowText},
};
struct TNamedCharset {
    std::string_view name;
    BYTE charset;
};
constexpr TNamedCharset kCharsets[] = {
    {"ANSI_CHARSET", ANSI_CHARSET},
    {"DEFAULT_CHARSET", DEFAULT_CHARSET},
    {"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool IsNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

// A name, or names joined by dots such as Font.Height.
bool IsPropertyName(std::string_view text)
{
    bool atStart = true;
    for (const char c : text) {
        if (atStart ? !IsNameStart(c) : !(IsNameChar(c) || c == '.')) return false;
        atStart = c == '.';
    }
    return !text.empty() && !atStart;
}

// Takes the name at the start of text off it; empty when text starts otherwise.
std::string TakeName(std::string_view& text)
{
    std::size_t length = 0;
    if (!text.empty() && IsNameStart(text[0])) {
        while (length < text.size() && IsNameChar(text[length])) ++length;
    }
    std::string name(text.substr(0, length));
    text.remove_prefix(length);
    return name;
}

// Class names are ASCII names.
std::string InCapitals(std::string name)
{
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return name;
}

}  // namespace

void ReadForm(TForm& form, const TFormClass& formClass)
{
    const std::string resourceName = InCapitals(formClass.name);
    TResourceStream stream(resourceName);
    std::string text(std::size_t(stream.Remaining()), '\0');
    stream.ReadBuffer(text.data(), std::int64_t(text.size()));
    TReader(form, formClass, resourceName, std::move(text)).ReadRoot();
}

TReader::TReader(TForm& root, const TFormClass& formClass, std::string resourceName, std::string text)
    : root_(root),
      formClass_(formClass),
      resourceName_(std::move(resourceName)),
      text_(std::move(text)),
      fieldsBound_(formClass.fields.size(), false)
{
    if (std::string_view(text_).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        next_ = kByteOrderMark.size();
    }
}

void TReader::ReadRoot()
{
    if (!NextLine()) Error("記述が空です");
    std::string name;
    std::string className;
    ReadObjectHeader(name, className);
    if (className != formClass_.name) Error(std::string(formClass_.name) + " の記述ではありません");
    ReadObjectBody(root_, true);
    if (NextLine()) Error("最後の end の後に行が続いています");

    for (std::size_t i = 0; i < fieldsBound_.size(); ++i) {
        if (!fieldsBound_[i]) {
            throw EReadError("フォーム記述 " + resourceName_ + " に部品 " + formClass_.fields[i].name +
                             " がありません");
        }
    }
}

bool TReader::NextLine()
{
    while (next_ < text_.size()) {
        std::size_t end = text_.find('\n', next_);
        if (end == std::string::npos) end = text_.size();
        line_ = Trimmed(std::string_view(text_).substr(next_, end - next_));
        next_ = end + 1;
        ++lineNumber_;
        if (!line_.empty()) return true;
    }
    line_ = {};
    return false;
}

void TReader::ReadObjectHeader(std::string& name, std::string& className)
{
    std::string_view rest = line_;
    const bool isObject = TakeName(rest) == "object" && !rest.empty() && IsSpace(rest.front());
    rest = Trimmed(rest);
    name = TakeName(rest);
    rest = Trimmed(rest);
    const bool hasColon = !rest.empty() && rest.front() == ':';
    if (hasColon) rest = Trimmed(rest.substr(1));
    className = TakeName(rest);
    if (!isObject || name.empty() || !hasColon || className.empty() || !rest.empty()) {
        Error("'object 名前: クラス' のはずです");
    }
}

void TReader::ReadObjectBody(TControl& component, bool isRoot)
{
    while (NextLine()) {
        if (line_ == "end") return;
        if (line_.substr(0, 7) == "object " || line_.substr(0, 7) == "object\t") {
            if (!isRoot) Error("部品の中に部品は置けません");
            ReadComponent();
            continue;
        }
        const std::size_t equals = line_.find('=');
        const std::string_view name = Trimmed(line_.substr(0, equals));
        if (equals == std::string_view::npos || !IsPropertyName(name)) Error("'プロパティ = 値' のはずです");
        value_ = Trimmed(line_.substr(equals + 1));
        component.ReadProperty(*this, std::string(name));
    }
    Error("end がありません");
}

void TReader::ReadComponent()
{
    std::string name;
    std::string className;
    ReadObjectHeader(name, className);
    if (std::find(componentNames_.begin(), componentNames_.end(), name) != componentNames_.end()) {
        Error("部品 " + name + " が二つあります");
    }
    componentNames_.push_back(name);

    // The form owns what is made here from the start, whatever happens next.
    TControl* component = nullptr;
    if (className == "TButton") {
        component = new TButton(&root_);
    } else if (className == "TImage") {
        component = new TImage(&root_);
    } else {
        Error("クラス " + className + " はありません");
    }
    Bind(name, component);
    ReadObjectBody(*component, false);
}

void TReader::Bind(const std::string& name, TComponent* component)
{
    for (std::size_t i = 0; i < formClass_.fields.size(); ++i) {
        if (name != formClass_.fields[i].name) continue;
        if (!formClass_.fields[i].bind(root_, component))
            Error("部品 " + name + " の型がフィールドと合いません");
        fieldsBound_[i] = true;
    }
}

int TReader::ReadInteger()
{
    int value = 0;
    const char* const end = value_.data() + value_.size();
    const auto [stop, error] = std::from_chars(value_.data(), end, value);
    if (error != std::errc() || stop != end) Error("整数のはずです");
    return value;
}

bool TReader::ReadBoolean()
{
    const std::string name = ReadIdent();
    if (name == "True") return true;
    if (name == "False") return false;
    Error("True か False のはずです");
}

std::string TReader::ReadString()
{
    std::string utf8;
    std::string_view rest = value_;
    if (rest.empty() || rest.front() != '\'') Error("引用符で囲んだ文字列のはずです");
    rest.remove_prefix(1);
    for (;;) {
        const std::size_t quote = rest.find('\'');
        if (quote == std::string_view::npos) Error("文字列が閉じていません");
        utf8 += rest.substr(0, quote);
        rest.remove_prefix(quote + 1);
        // A doubled quote stands for one quote inside the text.
        if (rest.empty() || rest.front() != '\'') break;
        utf8 += '\'';
        rest.remove_prefix(1);
    }
    if (!rest.empty()) Error("文字列の後に余分な文字があります");
    std::optional<std::string> text = FromUtf8(utf8);
    if (!text) Error("文字列がコード ページ 932 の文字で書けません");
    return *text;
}

std::string TReader::ReadIdent()
{
    std::string_view rest = value_;
    std::string name = TakeName(rest);
    if (name.empty() || !rest.empty()) Error("名前のはずです");
    return name;
}

TColor TReader::ReadColor()
{
    if (!value_.empty() && !IsNameStart(value_.front())) return TColor(ReadInteger());
    const std::string name = ReadIdent();
    for (const TNamedColor& named : kColors) {
        if (named.name == name) return named.color;
    }
    Error("色 " + name + " はありません");
}

BYTE TReader::ReadCharset()
{
    if (!value_.empty() && !IsNameStart(value_.front())) {
        const int charset = ReadInteger();
        if (charset < 0 || charset > 255) Error("文字セットは 0 から 255 までです");
        return BYTE(charset);
    }
    const std::string name = ReadIdent();
    for (const TNamedCharset& named : kCharsets) {
        if (named.name == name) return named.charset;
    }
    Error("文字セット " + name + " はありません");
}

TNotifyEvent TReader::ReadMethod()
{
    const std::string name = ReadIdent();
    for (const TPublishedMethod& method : formClass_.methods) {
        if (name != method.name) continue;
        TForm& form = root_;
        const auto call = method.call;
        return [&form, call](TObject* sender) { call(form, sender); };
    }
    Error("ハンドラ " + name + " はありません");
}

void TReader::ReadEmptySet()
{
    std::string_view rest = value_;
    if (rest.empty() || rest.front() != '[') Error("[] のはずです");
    rest = Trimmed(rest.substr(1));
    if (rest != "]") Error("[] のはずです");
}

void TReader::UnknownProperty(const std::string& name)
{
    Error("プロパティ " + name + " はありません");
}

void TReader::Error(const std::string& fault) const
{
    throw EReadError("フォーム記述 " + resourceName_ + " の " + std::to_string(lineNumber_) +
                     " 行目: " + fault);
}
