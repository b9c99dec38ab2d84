// ChildDialog: what every dialog shown inside the main window shares.
//
//   - ChildLoad(), called first by the dialog's load: logs name + "_load", localises the dialog
//     and remembers the loaded value of every tracked setting control;
//   - the main window is told when the dialog becomes the visible child (Child_Activates) and
//     when it closes (Child_Closed); closing hides the dialog, it is never unloaded in use;
//   - from its load to its unload the dialog holds the frame's notification sink and hears
//     its HandleCmd event: "UI_QUERYHIDECHILD" is answered only by the active child (the save
//     question when a setting changed: Yes stores, No reverts, Cancel keeps the dialog),
//     "UI_LNGCHANGE" localises the dialog again; other commands go to handleCmd of the dialog.
//   - the save question is the caption of the invisible label lblAsk2Save: the dialogs share
//     the text of the language file's [frmMain] lblAsk2Save, and a dialog's own section may
//     word it differently. While the question is open it is not asked a second time (a command
//     that asks the dialog to hide meanwhile finds it staying).
//
// A dialog derives from it, adds its controls to content(), calls track() for each setting
// control and overrides store() (and revert() when more than the controls must go back).
#pragma once

#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <memory>

class QVBoxLayout;

namespace jex {

class ChildDialog;
class cNotifySink;

// The frame that hosts the dialogs (the main window), reached through this interface so that
// the dialogs need not know it.
class ChildHost {
 public:
  virtual ~ChildHost() = default;
  virtual void childActivates(ChildDialog& child) = 0;
  virtual void childClosed(ChildDialog& child) = 0;
  virtual ChildDialog* activeChild() const = 0;
  // Where the dialogs are placed (top 0, left 0); null when there is no frame.
  virtual QWidget* childFrame() = 0;
  // The notification sink the dialogs listen to; null while the frame has none.
  virtual std::shared_ptr<cNotifySink> notificationSink() const = 0;
};

class ChildDialog : public QWidget {
  Q_OBJECT
 public:
  explicit ChildDialog(const QString& name, const QString& title, QWidget* parent = nullptr);
  ~ChildDialog() override;

  static void setHost(ChildHost* host);
  static ChildHost* host();
  // Every dialog now loaded.
  static QList<ChildDialog*> loaded();
  // The loaded dialog called name (without regard to case); null when there is none.
  static ChildDialog* find(const QString& name);

  // The common set-up of the dialog's load; the dialog then listens to the frame's sink.
  void ChildLoad();
  // The dialog's unload: it stops listening and lets go of the sink (also done on destruction).
  void ChildUnload();
  // Holds sink and hears its HandleCmd event until ChildUnload (a null sink only lets go).
  void listen(std::shared_ptr<cNotifySink> sink);
  cNotifySink* notifier() const { return m_Notifier.get(); }
  QLabel* lblTitle() const { return lblTitle_; }
  QLabel* lblAsk2Save() const { return lblAsk2Save_; }

  // Remembers control's value as loaded now; changed() compares against it.
  void track(QWidget* control);
  void rememberLoadedValues();
  // True when a tracked control differs from its loaded value; a dialog that keeps its own
  // changed flags answers from them.
  virtual bool changed() const;

  // A command from the sink, upper-cased; true when it was one for every dialog. A dialog
  // overriding it calls this first for the two commands every dialog answers.
  virtual bool handleCmd(const QString& command);
  // The close path: the save question when needed, then hidden. False when the user stays.
  bool queryHide();
  // Hides the dialog and tells the frame.
  void hideChild();

 protected:
  QVBoxLayout* content() const { return content_; }
  // Writes the settings; the default has nothing to store.
  virtual void store() {}
  // Puts the controls back to their loaded values.
  virtual void revert();
  virtual QString saveQuestion() const;

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void sinkCmd(QString& command);
  void localise();
  static QVariant valueOf(const QWidget* control);
  static void setValue(QWidget* control, const QVariant& value);

  QLabel* lblTitle_;
  QLabel* lblAsk2Save_;
  bool asking_ = false;  // the save question is open
  QVBoxLayout* content_;
  QHash<QWidget*, QVariant> loadedValues_;
  std::shared_ptr<cNotifySink> m_Notifier;
  QMetaObject::Connection notifierConnection_;
};

}  // namespace jex
