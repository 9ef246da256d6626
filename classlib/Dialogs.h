// The message dialog.
#pragma once

#include <initializer_list>
#include <string>

enum TMsgDlgType { mtInformation };
enum TMsgDlgBtn { mbOK };

// What MessageDlg returns: how the dialog was dismissed.
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

// Shows the message in a modal dialog titled "情報" with the information icon and
// one button "OK", which Enter and Esc press too, centred on the screen. It is a
// message box of the application (see TApplication::MessageBox): the
// application's other windows take no input while it is up. The program shows
// only this kind, so the type and the buttons say what it always is, and there
// is no help. When the application has already been terminated (a quit request
// taken while messages were handled), the dialog closes at once: it is not shown
// and mrCancel comes back.
int MessageDlg(const std::string& message, TMsgDlgType type, std::initializer_list<TMsgDlgBtn> buttons,
               int helpContext);
