// frmObjWiz ("ObjektWizard", command SHOWTYPEDOC, menu entry mnuExtrasObjWiz): the type
// libraries a script author works with, their classes and members, the documentation of the one
// chosen, and its declaration text for the core's scripts (declaration.h).
//
// The window has two pages:
//   browsing    lstClasses ("&Klassen:"), lstMembers ("&Mitglieder:"), chkSorted (names in
//               alphabetical order, else in the library's order), cboSearch ("&Suchen:"; Enter
//               keeps only the classes whose name or one of whose members' names holds the text;
//               the last searches are kept in JEXUI.INI [TLI_Search], 1 the newest, at most 20;
//               Ctrl+D on a class or member makes its name a favourite, kept in [TLI_Favorites]
//               the same way and listed first;
//               "- Suche säubern -" shows every class again), rtfDOC ("&Dokumentation:"), and the
//               buttons cmdReferences, cmdClose, cmdHelp. Ctrl+C on a class copies the class's
//               declaration, on a member the member's ("Private " form); rtfDOC shows the member
//               in the help-comment form after its "Member of <library>.<class>" line.
//   references  picRef: lvwFiles (columns "TypeLib" and "Pfad"), cmdAddRef, cmdRemove, cmdOKRef.
//               OK writes the list as [TypeLibs] of JEXUI.INI in one atomic section write (key =
//               position from 1, value = the entry as the user gave it) and reads the libraries
//               again; Escape goes back to the browsing page without writing.
// While one page shows the other's controls are hidden, so that each access key has one button
// ("&Hilfe" and "&hinzufügen" never show together).
//
// The reference list: [TypeLibs], or the five default names when it yields no entry. A bare
// name (no "/" or "\") is taken from AppPath; when that is no type library, the registry's
// libraries are searched by the name's base name (corvane.exe -> .../corvane.tlb). An entry that
// resolves to nothing stays listed with an empty "TypeLib" and writes one log line; so do empty,
// duplicate and Windows-path entries.
#pragma once

#include <QVariant>
#include <functional>

#include "base/typeinfo.h"
#include "dialogs/childdialog.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QPushButton;
class QStackedWidget;
class QTextEdit;
class QTreeWidget;

namespace jex {

class frmObjWiz : public ChildDialog {
  Q_OBJECT
 public:
  // Asks for a library file to add; empty when the user cancels. Tests put their own in place.
  using FileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;
  static void setFileChooser(FileChooser chooser);
  static const QStringList& defaultReferences();

  explicit frmObjWiz(QWidget* parent = nullptr);

  // The member text of a living object of the access layer: its class as an interface of
  // its members (types it does not declare are Variant); empty for anything else.
  Q_INVOKABLE QString GetLiveObjectInfo(const QVariant& object);
  // The documentation text line by line for the screen reader (lines counted from 0).
  Q_INVOKABLE QString GetCurrentLineString();
  Q_INVOKABLE QString GetLineString(int line);
  Q_INVOKABLE int GetLineIndex();
  Q_INVOKABLE void ShowReferences();

  // What the window shows, for its tests.
  const QVector<typeinfo::Library>& libraries() const { return libraries_; }
  struct Reference {
    QString entry;  // as the list holds it
    QString file;   // the library file it resolved to; empty when it did not
    QString library;
  };
  const QVector<Reference>& references() const { return references_; }
  // The entries [TypeLibs] holds, or the defaults.
  QStringList referenceEntries() const;
  // Resolves one entry of the list.
  Reference resolve(const QString& entry) const;

 protected:
  void showValues() override;
  bool handleCmd(const QString& command) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void readReferences(const QStringList& entries);
  void fillClasses();
  void classChosen();
  void memberChosen();
  void search();
  void fillSearchList(const QString& text);
  void addFavorite(QObject* list);
  void clearSearch();
  void copySelection(QObject* list);
  void showBrowsing();
  void addReference();
  void removeReference();
  void storeReferences();
  void fillReferenceList();
  const typeinfo::Class* currentClass(const typeinfo::Library** lib = nullptr) const;
  const typeinfo::Member* currentMember() const;
  // "Member of " as the language has it, ending with one blank.
  QString memberOf() const;
  // The lists are announced with their labels' captions as the language has them now.
  void nameLists();

  QStackedWidget* pages_;
  QTreeWidget* lstClasses_;
  QTreeWidget* lstMembers_;
  QCheckBox* chkSorted_;
  QComboBox* cboSearch_;
  QPushButton* lblClearSearch_;
  QTextEdit* rtfDOC_;
  QPushButton* cmdReferences_;
  QPushButton* cmdClose_;
  QPushButton* cmdHelpButton_;
  QWidget* picRef_;
  QTreeWidget* lvwFiles_;
  QPushButton* cmdAddRef_;
  QPushButton* cmdRemove_;
  QPushButton* cmdOKRef_;
  QList<std::pair<QLabel*, QWidget*>> listLabels_;
  QVector<typeinfo::Library> libraries_;
  QVector<Reference> references_;
  QString filter_;
  QStringList searches_;   // [TLI_Search], the newest first
  QStringList favorites_;  // [TLI_Favorites], the newest first
};

}  // namespace jex
