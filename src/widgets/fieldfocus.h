// Text fields heard when they get the focus.
//
// A QLineEdit tabbed into selects its text while it handles the focus, before the toolkit
// reports the focus itself; the selection also moves the caret. A screen reader that sees the
// caret move in a focused field takes that field as its focus without saying anything, and the
// focus report that follows is then old news: an empty field is not heard at all, a filled one
// only as its selected text. This filter on the application lets a line edit take the focus
// without selecting, and selects its text only after the focus has been reported, so that the
// field is presented with its label and text first and then its text as selected. The field of
// an editable drop-down list is handled in the same way through the list, which has the focus.
//
// A field left by the keyboard keeps its selection: taking it away would be said as "text
// unselected" after the next control has been reported, and hide that control.
//
// A read-only field (a preview) is not selected at all: there is nothing to replace, and the
// reader would say the selection going away when the focus leaves instead of the next control.
// Fields with an input mask keep the toolkit's handling (the caret goes to the first blank).
#pragma once

namespace jex::ui {

// Installed once on the application (the forms' kit calls it with the accessibility factories).
void installFieldFocus();

}  // namespace jex::ui
