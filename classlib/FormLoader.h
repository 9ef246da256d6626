// Window descriptions: the text, kept as an RT_RCDATA resource named after the form
// class in capitals, that says which components a form has, their properties and
// which handlers their events run. For example:
//
//   object Form1: TForm1
//     Caption = 'アップデーター'
//     OnShow = FormShow
//     object Button1: TButton
//       Left = 8
//       Caption = 'アップデート開始'
//       OnClick = Button1Click
//     end
//   end
//
// One item to a line, indented at will. A value is an integer, a text in single
// quotes (UTF-8, a quote doubled inside it), a name, or a set of names in
// brackets. Texts become code page 932 text as they are read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Controls.h"

// A member of a form class that the description fills: the component of the same
// name is stored in it when its class fits.
struct TPublishedField {
    const char* name;
    bool (*bind)(TForm& form, TComponent* component);
};

// A handler of a form class that the description names for an event.
struct TPublishedMethod {
    const char* name;
    void (*call)(TForm& form, TObject* sender);
};

// What a form class tells the reader: its name, which also names its description,
// and its published members and handlers.
struct TFormClass {
    const char* name;
    std::vector<TPublishedField> fields;
    std::vector<TPublishedMethod> methods;
};

template <typename T>
struct TMemberPointer;
template <typename Class, typename Member>
struct TMemberPointer<Member Class::*> {
    using ClassType = Class;
    using MemberType = Member;
};

// The entry for a member pointer to a component, such as &TForm1::Image1.
template <auto Field>
TPublishedField PublishedField(const char* name)
{
    using Traits = TMemberPointer<decltype(Field)>;
    using Component = std::remove_pointer_t<typename Traits::MemberType>;
    return {name, [](TForm& form, TComponent* component) {
                auto* typed = dynamic_cast<Component*>(component);
                if (typed == nullptr) return false;
                static_cast<typename Traits::ClassType&>(form).*Field = typed;
                return true;
            }};
}

// The entry for a handler, such as &TForm1::FormShow.
template <auto Method>
TPublishedMethod PublishedMethod(const char* name)
{
    using Form = typename TMemberPointer<decltype(Method)>::ClassType;
    return {name, [](TForm& form, TObject* sender) { (static_cast<Form&>(form).*Method)(sender); }};
}

// Reads a form's description into the form: creates its components, sets their
// properties and the form's own, fills the published fields and binds the
// events. Raises EResNotFound "<NAME> リソースが見つかりません" when there is no
// description, and EReadError naming the description, the line and the fault
// when it cannot be read, or when a published field is left without its component.
void ReadForm(TForm& form, const TFormClass& formClass);

// Reads one description. The components read their own properties through it,
// each asking for the kind of value it expects.
class TReader {
public:
    TReader(TForm& root, const TFormClass& formClass, std::string resourceName, std::string text);

    void ReadRoot();

    // The value of the property being read; each raises unless the whole value
    // is of its kind.
    int ReadInteger();
    bool ReadBoolean();
    std::string ReadString();
    std::string ReadIdent();
    // A colour: a number, or the name of one such as clBtnFace.
    TColor ReadColor();
    // A character set: a number, or the name of one such as SHIFTJIS_CHARSET.
    BYTE ReadCharset();
    // The handler of the form class that the value names.
    TNotifyEvent ReadMethod();
    // A set that must be empty: "[]".
    void ReadEmptySet();

    [[noreturn]] void UnknownProperty(const std::string& name);
    // Raises EReadError for the line being read.
    [[noreturn]] void Error(const std::string& fault) const;

private:
    bool NextLine();
    // Reads "object <name>: <class>".
    void ReadObjectHeader(std::string& name, std::string& className);
    // Reads what follows an object's header, up to its "end".
    void ReadObjectBody(TControl& component, bool isRoot);
    void ReadComponent();
    void Bind(const std::string& name, TComponent* component);

    TForm& root_;
    const TFormClass& formClass_;
    std::string resourceName_;
    std::string text_;
    std::size_t next_ = 0;  // where the line after the current one begins
    int lineNumber_ = 0;
    std::string_view line_;   // the current line, without its indentation
    std::string_view value_;  // what follows "=" on a property's line
    std::vector<std::string> componentNames_;
    std::vector<bool> fieldsBound_;  // one for each of formClass_.fields
};
