// ChildDialog: the dialog kit. Every dialog shown inside the main window is made on it, and a
// blind user finds the same keys and the same ways out in each of them:
//
//   Keys     Tab and Shift+Tab go round the dialog's own controls and never leave it. Enter that
//            no control takes (lists, check boxes, closed combo boxes, sliders, line edits)
//            presses the dialog's default button, OK unless the dialog says otherwise. Escape is
//            Abbrechen.
//   Buttons  addButtons(), the constructor's last call, builds the row OK, Abbrechen, Hilfe as
//            the last row and the last tab stops. OK stores and closes (accept()); Abbrechen asks
//            the save question and closes (reject()); Hilfe opens the help of the control the
//            user is on and leaves the dialog open (help()). A dialog with other buttons builds
//            its own row instead and marks its default button (QPushButton::setDefault).
//   Values   showValues() puts the core's values into the controls. The kit calls it at every
//            showing and after No to the save question (loadValues() when the dialog needs it
//            at another time), with the loading guard up: while loading() is true, handlers
//            write nothing into the core, and the values shown count as loaded, so showing them
//            is never a change.
//   Changes  track(control) for each setting control; changed() is true when one of them
//            differs from its loaded value, or when untrackedChanges() says so (a state that no
//            control holds).
//   Texts    hiddenTexts({{"lblAsk2Save", "..."}}) makes the invisible labels whose captions are
//            message texts, localised with the form; hiddenText("lblAsk2Save") reads one.
//   Closing  every way out (Escape, Abbrechen, the close box, another dialog opened through the
//            child switch, the main window hidden) runs the save question when something changed:
//            Yes stores (store()), No takes the changes back (revert(): by default the controls
//            go back to their loaded values), Cancel keeps the dialog. While the question is
//            open it is not asked a second time.
//   Frame    the main window loads the dialog (ChildLoad: logs name + "_load", places it in the
//            frame, localises it, lets it hear the frame's notification sink) and is told when it
//            becomes the visible child (Child_Activates) and when it closes (Child_Closed). A
//            dialog is hidden, never unloaded, in use. Of the sink's commands every dialog answers
//            "UI_QUERYHIDECHILD" (the save question, only the active child) and "UI_LNGCHANGE"
//            (localised again) and "HELP" (the help of the control the user is on, in the active
//            child only); the others go to handleCmd of the dialog, or, where the dialog answers
//            the core in the command itself (empties or replaces it), to sinkCommand.
//   Window   ownWindow() in the constructor makes a window of its own, modal (help, about) or not
//            (the translation editor beside the form it edits): it is localised and hears the
//            sink like every dialog, but is not placed in the frame, and its showing and closing
//            do not switch the frame's children; closing it gives the focus back to the window
//            that had it.
//   At once  storedAtOnce(control): a user switch that is written as soon as it changes (no save
//            question, nothing for OK to store); the dialog walk leaves it alone.
//
// A new dialog, as a sketch:
//
//   class frmThing : public ChildDialog {
//    public:
//     frmThing() : ChildDialog(QStringLiteral("frmThing"), QStringLiteral("Dinge")) {
//       chkOn_ = named<QCheckBox>(this, "chkOn", QStringLiteral("&An"));
//       content()->addWidget(chkOn_);
//       track(chkOn_);
//       hiddenTexts({{"lblAsk2Save", "wollen Sie die Änderungen speichern ?"}});
//       addButtons();
//       connect(chkOn_, &QCheckBox::toggled, this, [this](bool on) { if (!loading()) thing().set("On", on); });
//     }
//    protected:
//     void showValues() override { chkOn_->setChecked(thing().boolean("On")); }
//     void store() override { thing().call("SaveValues"); }
//   };
#pragma once

#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <initializer_list>
#include <memory>
#include <optional>

class QPushButton;
class QVBoxLayout;

namespace jex {

class ChildDialog;
class cNotifySink;

// The frame that hosts the dialogs (the main window), reached through this interface so that
// the dialogs need not know it.
class ChildHost {
 public:
  virtual ~ChildHost() = default;
  virtual void Child_Activates(ChildDialog& child) = 0;
  virtual void Child_Closed(ChildDialog& child) = 0;
  virtual ChildDialog* activeChild() const = 0;
  // Where the dialogs are placed (top 0, left 0); null when there is no frame.
  virtual QWidget* childFrame() = 0;
  // The notification sink the dialogs listen to; null while the frame has none.
  virtual std::shared_ptr<cNotifySink> notificationSink() const = 0;
  // Appends command to the program's own command queue (run one per tick, like the core's).
  virtual void queueCommand(const QString& command) = 0;
  // Remembers the application in front, to give it the focus back when the dialog closes.
  virtual void storeLastForeApp() = 0;
};

class ChildDialog : public QWidget {
  Q_OBJECT
 public:
  // An invisible label holding a message text (UTF-8).
  struct HiddenText {
    const char* name;
    const char* text;
  };

  explicit ChildDialog(const QString& name, const QString& title, QWidget* parent = nullptr);
  ~ChildDialog() override;

  static void setHost(ChildHost* host);
  static ChildHost* host();
  // Every dialog now loaded.
  static QList<ChildDialog*> loaded();
  // The loaded dialog called name (without regard to case); null when there is none.
  static ChildDialog* find(const QString& name);

  // The frame's set-up of the dialog; the dialog then listens to the frame's sink.
  void ChildLoad();
  // The dialog's unload: it stops listening and lets go of the sink (also done on destruction).
  void ChildUnload();
  // Holds sink and hears its HandleCmd event until ChildUnload (a null sink only lets go).
  void listen(std::shared_ptr<cNotifySink> sink);
  cNotifySink* sink() const { return sink_.get(); }
  QLabel* lblTitle() const { return lblTitle_; }
  // The kit's buttons; null in a dialog that builds its own row.
  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }
  QPushButton* cmdHelp() const { return cmdHelp_; }
  // The caption of the invisible label name; empty when there is none.
  QString hiddenText(const char* name) const;

  // True when a tracked control differs from its loaded value or untrackedChanges() says so.
  bool changed() const;
  // The core's values shown again under the loading guard; they count as loaded afterwards.
  void loadValues();

  // A command from the sink, upper-cased; true when it was one for every dialog. A dialog
  // overriding it calls this first for the two commands every dialog answers.
  virtual bool handleCmd(const QString& command);
  // The save question when something changed: Yes stores, No reverts. False when the user
  // stays (Cancel, or the question is open already); the dialog stays open either way.
  bool querySave();
  // The close path: the save question, the dialog hidden, then the answer carried out. False
  // when the user stays.
  bool queryHide();
  // Hides the dialog and tells the frame.
  void hideChild();
  // The help of the control the user is on (the one before the button row when a button of
  // the row has the focus); the dialog stays open.
  void help();
  // True for a window of its own (ownWindow()).
  bool isOwnWindow() const { return ownWindow_; }
  // True for a control marked with storedAtOnce().
  static bool isStoredAtOnce(const QWidget* control);
  // Set while the main window passes the core's help key on to the dialogs: a "HELP" that the
  // core itself offers reaches the sink only when another program is in front, and is the core's.
  static bool& helpPassedOn();

 protected:
  QVBoxLayout* content() const { return content_; }
  // The button row OK, Abbrechen, Hilfe; the constructor's last call.
  void addButtons();
  // The home child: no dialog keys (Tab goes on to the main window's buttons, Enter and Escape
  // are left to the frame).
  void leaveKeysToFrame() { dialogKeys_ = false; }
  void hiddenTexts(std::initializer_list<HiddenText> texts);
  // The invisible label whose caption is the save question (default "lblAsk2Save").
  void setSaveQuestion(const char* name) { saveQuestion_ = name; }

  // Remembers control's value as loaded now; changed() compares against it.
  void track(QWidget* control);
  void rememberLoadedValues();
  // True when the tracked control differs from its loaded value.
  bool changed(const QWidget* control) const;
  // A change that no tracked control shows; the default has none.
  virtual bool untrackedChanges() const { return false; }
  // True while showValues runs.
  bool loading() const { return loading_; }

  // Puts the core's values into the controls; the default shows nothing.
  virtual void showValues() {}
  // Writes the settings; the default has nothing to store.
  virtual void store() {}
  // Takes the changes back; the default puts the tracked controls back to their loaded values.
  virtual void revert();
  // OK: store, then close.
  virtual void accept();
  // Abbrechen and Escape: the save question, then close.
  virtual void reject();
  // A modal window of its own; the constructor's call.
  void ownWindow(Qt::WindowModality modality = Qt::ApplicationModal);
  static void storedAtOnce(QWidget* control);
  // A command from the sink as the core sent it, by reference: what the dialog leaves in it goes
  // back to the core. The default hands the upper-cased command to handleCmd.
  virtual void sinkCommand(QString& command);

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void sinkCmd(QString& command);
  void localise();
  // The dialog's tab stops in the order Tab visits them.
  QList<QWidget*> tabStops() const;
  QPushButton* defaultButton() const;
  bool inButtonRow(const QWidget* w) const;
  static QVariant valueOf(const QWidget* control);
  static void setValue(QWidget* control, const QVariant& value);

  QLabel* lblTitle_;
  QVBoxLayout* content_;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QPushButton* cmdHelp_ = nullptr;
  QPointer<QWidget> lastControl_;  // the control focused last outside the button row
  bool dialogKeys_ = true;
  bool ownWindow_ = false;
  QPointer<QWidget> returnTo_;  // the window active when an own window was shown
  QMetaObject::Connection frameGone_;
  // The save question's answer (Yes, No; 0 when nothing changed), none when the user stays;
  // settle carries it out.
  std::optional<qint16> askSave();
  void settle(qint16 answer);
  const char* saveQuestion_ = "lblAsk2Save";
  bool asking_ = false;    // the save question is open
  bool settling_ = false;  // its answer is being carried out (storing or taking back talks to the core)
  bool loading_ = false;   // showValues runs
  QHash<QWidget*, QVariant> loadedValues_;
  std::shared_ptr<cNotifySink> sink_;
  QMetaObject::Connection sinkConnection_;
};

}  // namespace jex
