// frmTextWiz ("TextWizard"): a plain, accessible text window in the main window. It shows
//   - the clipboard's text (GetClip, the command "EDITCLIPBOARD"),
//   - a script's text (ShowText, Funcs.ShowText: AutoRead reads it at once whatever the user's
//     setting, AutoClose closes the window when JexUI loses the focus),
//   - the field the user edits in the program in front (EditClip, "SELCUTEDIT"): that program is
//     sent Ctrl+A, Ctrl+C and Ctrl+Home; a clipboard change within ClipTimeOut milliseconds of
//     the request queues "EDITCLIPBOARD", which shows the copied text. A later change, or one
//     nobody asked for, shows nothing and ends the request.
// rtfClip can be edited; cmdSave writes it to a file the user names (UTF-8, replaced
// atomically: a failed save leaves the old file and keeps the text); cmdOptions does nothing;
// cmdCancel (Escape) closes the window and the focus goes back to the program the user came from.
// The core's announcement of the window (NEWFGWINREAD) between 0.2 and 1.0 seconds after the text
// was shown reads it from the caret when the user's AutoRead is 1.
#pragma once

#include <functional>

#include "dialogs/help/textwindow.h"
#include "platform/clipboardviewer.h"

class QPushButton;

namespace jex {

class frmTextWiz : public TextWindow {
  Q_OBJECT
 public:
  static constexpr qint64 kReadAfterMs = 200;
  static constexpr qint64 kReadBeforeMs = 1000;
  // Asks for the file to save to; empty when the user cancels. Tests put their own in place.
  using FileChooser = std::function<QString(QWidget* parent)>;
  static void setFileChooser(FileChooser chooser);

  explicit frmTextWiz(QWidget* parent = nullptr);
  ~frmTextWiz() override;

  Q_INVOKABLE void EditClip();
  Q_INVOKABLE void GetClip();
  // text, or text, AutoRead ("1"/"0") and AutoClose ("1"/"0").
  Q_INVOKABLE void ShowText(const QVariant& args);
  void ShowText(const QString& text, bool autoRead, bool autoClose);
  // Writes rtfClip's text to file; false (with a message box) when it could not.
  bool saveTo(const QString& file);

  platform::cClipboardViewer& viewer() { return viewer_; }
  // True while a copy request waits for the clipboard to change.
  bool copyPending() const { return requestedAt_ > 0; }
  // Notes a copy request now (EditClip's, once the program in front was told to select all).
  void noteCopyRequest() { requestedAt_ = nowMs(); }

 protected:
  void newWindowRead(QString& command) override;
  void reject() override;

 private:
  void clipboardChanged();
  void showTextNow(const QString& text);
  void lostFocus();
  static qint64 nowMs();

  QPushButton* cmdSave_;
  platform::cClipboardViewer viewer_;
  qint64 requestedAt_ = 0;  // monotonic ms of the pending copy request; 0: none
  bool readNow_ = false;    // ShowText's AutoRead
  bool autoClose_ = false;  // ShowText's AutoClose
};

}  // namespace jex
