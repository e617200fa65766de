#pragma once

class DialogWindow;

// What a message says about itself: its icon and its buttons.
enum class MessageKind
{
    Error,    // OK
    Warning,  // OK
    Question, // the two answers given, and Cancel
};

enum class MessageAnswer
{
    Ok,
    Yes,
    No,
    Cancel,
};

// A modal message over a dialog (or alone, owner null), shown until the
// user answers. Its text wraps at a readable width, keeps the line breaks
// it holds (one line per file name, say) and can be selected and copied.
// Texts are Shift-JIS. A box diverted by DivertMessageBox (tests, no
// display) shows nothing and answers Ok for a message, Cancel for a
// question.
MessageAnswer ShowMessageDialog(DialogWindow* owner, MessageKind kind, const char* caption, const char* text);
// A question whose first answer is yesLabel and second noLabel ("_Save",
// "Do_n't Save": underscores mark the access keys); Cancel is the third.
MessageAnswer AskMessageDialog(DialogWindow* owner, const char* caption, const char* text, const char* yesLabel,
                               const char* noLabel);

// The widest a message's text runs, in characters of the dialog's font.
constexpr int kMessageDialogTextChars = 72;
