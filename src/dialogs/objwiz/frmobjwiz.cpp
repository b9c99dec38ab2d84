#include "dialogs/objwiz/frmobjwiz.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>

#include "automation/idlwriter.h"
#include "base/error.h"
#include "base/log.h"
#include "dialogs/objwiz/declaration.h"
#include "dialogs/tasks/tasklistview.h"
#include "global/cglobal.h"
#include "ini/arrays.h"
#include "ini/cinifil.h"
#include "platform/registry.h"
#include "platform/typelibfile.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {

using namespace typeinfo;

namespace {

const QString kTypeLibs = QStringLiteral("TypeLibs");
const QString kSearch = QStringLiteral("TLI_Search");
const QString kFavorites = QStringLiteral("TLI_Favorites");
constexpr int kSearchesKept = 20;

// A stored list: key = position from 1.
QStringList loadList(const QString& section) {
  QStringList list;
  if (const auto& ini = gGlobal().Ini) {
    Array2<QString> lines;
    ini->SectionLoad(lines, section);
    if (!lines.isErased())
      for (int i = 1; i <= lines.ubound(2); ++i)
        if (!lines(2, i).trimmed().isEmpty()) list << lines(2, i).trimmed();
  }
  return list;
}

void storeList(const QString& section, const QStringList& list) {
  if (const auto& ini = gGlobal().Ini) {
    Array1<QString> lines(int(list.size()));
    for (int i = 0; i < list.size(); ++i) lines(i + 1) = QString::number(i + 1) + u'=' + list[i];
    ini->SectionWrite(section, lines);
  }
}

// text first, then list without it (without regard to case), at most kSearchesKept.
QStringList inFront(const QString& text, const QStringList& list) {
  QStringList out{text};
  for (const QString& s : list)
    if (out.size() < kSearchesKept && s.compare(text, Qt::CaseInsensitive) != 0) out << s;
  return out;
}
constexpr int kLibRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;

frmObjWiz::FileChooser& chooser() {
  static frmObjWiz::FileChooser c = [](QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QStringLiteral("/"), filter);
  };
  return c;
}

bool isPath(const QString& entry) { return entry.contains(u'/') || entry.contains(u'\\'); }

// The library file of a program's name registered by the registry's type library entries.
QString registered(const QString& name) {
  return platform::typelibs::findByBaseName(platform::Registry(platform::Registry::machinePath()), name);
}

// A living object's members as a class of the model, declared as the program's type library
// declares them (automation/idlwriter.h): undeclared types are Variant.
Class liveClass(const automation::Target& target) {
  Class c;
  c.name = target.className();
  c.kind = ClassKind::Interface;
  auto type = [](int varType) {
    Type t;
    t.varType = varType;
    return t;
  };
  auto params = [&](const QList<automation::ParamInfo>& list) {
    QVector<Parameter> out;
    for (const automation::ParamInfo& p : list)
      out << Parameter{p.name, type(p.type == vt::Void ? vt::Variant : p.type), p.flags};
    return out;
  };
  for (const automation::MemberInfo& info : target.members()) {
    const QList<automation::ParamInfo> declared = automation::declaredParams(info);
    Member m;
    m.name = info.name;
    m.help = info.help;
    if (info.kind == automation::CallKind::Method) {
      m.invokeKind = InvokeKind::Function;
      m.parameters = params(declared);
      m.result = type(info.resultType);
      c.members << m;
      continue;
    }
    const int valueType = info.resultType == vt::Void ? vt::Variant : info.resultType;
    if (info.readable) {
      m.invokeKind = InvokeKind::PropertyGet;
      m.parameters = params(declared);
      m.result = type(valueType);
      c.members << m;
    }
    if (info.writable) {
      m.invokeKind = InvokeKind::PropertyPut;
      m.parameters = params(declared);
      m.parameters << Parameter{QStringLiteral("RHS"), type(valueType), pf::In};
      m.result = type(vt::Void);
      c.members << m;
    }
  }
  return c;
}

}  // namespace

void frmObjWiz::setFileChooser(FileChooser c) { chooser() = std::move(c); }

const QStringList& frmObjWiz::defaultReferences() {
  static const QStringList names{QStringLiteral("corvane.exe"), QStringLiteral("jexui.exe"),
                                 QStringLiteral("qmtmom.dll"), QStringLiteral("qmtsedat.dll"),
                                 QStringLiteral("qmtsys.dll")};
  return names;
}

frmObjWiz::frmObjWiz(QWidget* parent)
    : ChildDialog(QStringLiteral("frmObjWiz"), QStringLiteral("ObjektWizard"), parent) {
  pages_ = new QStackedWidget(this);
  content()->addWidget(pages_, 1);

  // The browsing page.
  auto* browse = new QWidget;
  auto* b = new QVBoxLayout(browse);
  b->setContentsMargins(0, 0, 0, 0);
  auto* lists = new QHBoxLayout;
  auto labelled = [&](QLayout* into, QWidget* control, const char* name, const char* caption) {
    auto* box = new QVBoxLayout;
    auto* label = named<QLabel>(browse, name, QString::fromUtf8(caption));
    ui::setBuddy(label, control);
    listLabels_.append({label, control});
    box->addWidget(label);
    box->addWidget(control, 1);
    static_cast<QBoxLayout*>(into)->addLayout(box, 1);
  };
  // Lists heard as lists, their current entry told as the focus.
  auto list = [&](const char* name) {
    auto* l = named<TaskListView>(browse, name);
    l->setColumnCount(1);
    l->setHeaderHidden(true);
    l->setRootIsDecorated(false);
    l->setUniformRowHeights(true);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    return l;
  };
  lstClasses_ = list("lstClasses");
  lstMembers_ = list("lstMembers");
  labelled(lists, lstClasses_, "lblClasses", "&Klassen:");
  labelled(lists, lstMembers_, "lblMembers", "&Mitglieder:");
  b->addLayout(lists, 2);

  auto* searchRow = new QHBoxLayout;
  chkSorted_ = named<QCheckBox>(browse, "chkSorted", QStringLiteral("s&orted"));
  auto* lblSearch = named<QLabel>(browse, "lblSearch", QStringLiteral("&Suchen:"));
  cboSearch_ = named<QComboBox>(browse, "cboSearch");
  cboSearch_->setEditable(true);
  cboSearch_->setInsertPolicy(QComboBox::NoInsert);
  ui::setBuddy(lblSearch, cboSearch_);
  lblClearSearch_ = named<QPushButton>(browse, "lblClearSearch", QString::fromUtf8("- Suche säubern -"));
  lblClearSearch_->setFlat(true);
  searchRow->addWidget(chkSorted_);
  searchRow->addWidget(lblSearch);
  searchRow->addWidget(cboSearch_, 1);
  searchRow->addWidget(lblClearSearch_);
  b->addLayout(searchRow);

  rtfDOC_ = named<QTextEdit>(browse, "rtfDOC");
  rtfDOC_->setReadOnly(true);
  rtfDOC_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  rtfDOC_->setTabChangesFocus(true);
  auto* docBox = new QVBoxLayout;
  auto* lblDoc = named<QLabel>(browse, "lblDOC", QStringLiteral("&Dokumentation:"));
  ui::setBuddy(lblDoc, rtfDOC_);
  docBox->addWidget(lblDoc);
  docBox->addWidget(rtfDOC_, 1);
  b->addLayout(docBox, 1);

  auto* buttons = new QHBoxLayout;
  cmdReferences_ = named<QPushButton>(browse, "cmdReferences", QStringLiteral("&Verweise"));
  cmdClose_ = named<QPushButton>(browse, "cmdClose", QString::fromUtf8("s&chließen"));
  cmdHelpButton_ = named<QPushButton>(browse, "cmdHelp", QStringLiteral("&Hilfe"));
  buttons->addWidget(cmdReferences_);
  buttons->addStretch(1);
  buttons->addWidget(cmdClose_);
  buttons->addWidget(cmdHelpButton_);
  b->addLayout(buttons);
  cmdClose_->setDefault(true);
  pages_->addWidget(browse);

  // The reference page.
  picRef_ = named<QWidget>(this, "picRef");
  auto* r = new QVBoxLayout(picRef_);
  r->setContentsMargins(0, 0, 0, 0);
  auto* lblReferences = named<QLabel>(picRef_, "lblReferences", QString::fromUtf8("verfügbare Verweise"));
  lvwFiles_ = named<TaskListView>(picRef_, "lvwFiles");
  lvwFiles_->setColumnCount(2);
  lvwFiles_->setHeaderLabels({QStringLiteral("TypeLib"), QStringLiteral("Pfad")});
  lvwFiles_->setRootIsDecorated(false);
  lvwFiles_->setSelectionMode(QAbstractItemView::SingleSelection);
  ui::setBuddy(lblReferences, lvwFiles_);
  listLabels_.append({lblReferences, lvwFiles_});
  r->addWidget(lblReferences);
  r->addWidget(lvwFiles_, 1);
  auto* refButtons = new QHBoxLayout;
  cmdAddRef_ = named<QPushButton>(picRef_, "cmdAddRef", QString::fromUtf8("&hinzufügen"));
  cmdRemove_ = named<QPushButton>(picRef_, "cmdRemove", QStringLiteral("&entfernen"));
  cmdOKRef_ = named<QPushButton>(picRef_, "cmdOKRef", QStringLiteral("OK"));
  refButtons->addWidget(cmdAddRef_);
  refButtons->addWidget(cmdRemove_);
  refButtons->addStretch(1);
  refButtons->addWidget(cmdOKRef_);
  r->addLayout(refButtons);
  pages_->addWidget(picRef_);

  hiddenTexts({{"lblMemberOf", "Member of "},
               {"lblAddRef", "TypenBibliothek hinzufügen"},
               {"lblNoLibrary", "keine Typenbibliothek"}});

  for (QWidget* w : {static_cast<QWidget*>(lstClasses_), static_cast<QWidget*>(lstMembers_)})
    w->installEventFilter(this);
  cboSearch_->installEventFilter(this);
  cboSearch_->lineEdit()->installEventFilter(this);
  connect(lstClasses_, &QTreeWidget::currentItemChanged, this,
          [this] { trap("frmObjWiz.lstClasses_Click", [this] { classChosen(); }); });
  connect(lstMembers_, &QTreeWidget::currentItemChanged, this,
          [this] { trap("frmObjWiz.lstMembers_Click", [this] { memberChosen(); }); });
  connect(chkSorted_, &QCheckBox::toggled, this,
          [this] { trap("frmObjWiz.chkSorted_Click", [this] { fillClasses(); }); });
  connect(lblClearSearch_, &QPushButton::clicked, this,
          [this] { trap("frmObjWiz.lblClearSearch_Click", [this] { clearSearch(); }); });
  connect(cmdReferences_, &QPushButton::clicked, this, [this] { ShowReferences(); });
  connect(cmdClose_, &QPushButton::clicked, this,
          [this] { trap("frmObjWiz.cmdClose_Click", [this] { queryHide(); }); });
  connect(cmdHelpButton_, &QPushButton::clicked, this, [this] { help(); });
  connect(cmdAddRef_, &QPushButton::clicked, this,
          [this] { trap("frmObjWiz.cmdAddRef_Click", [this] { addReference(); }); });
  connect(cmdRemove_, &QPushButton::clicked, this,
          [this] { trap("frmObjWiz.cmdRemove_Click", [this] { removeReference(); }); });
  connect(cmdOKRef_, &QPushButton::clicked, this,
          [this] { trap("frmObjWiz.cmdOKRef_Click", [this] { storeReferences(); }); });
  filter_ = QStringLiteral("TypeLibraries (*.dll *.exe *.ocx *.olb *.tlb)");
  nameLists();
}

void frmObjWiz::nameLists() {
  for (const auto& [label, list] : listLabels_) list->setAccessibleName(ui::plainCaption(label->text()));
}

bool frmObjWiz::handleCmd(const QString& command) {
  const bool common = ChildDialog::handleCmd(command);
  if (command == QLatin1String("UI_LNGCHANGE")) trap("frmObjWiz.HandleCmd", [this] { nameLists(); });
  return common;
}

QStringList frmObjWiz::referenceEntries() const {
  return trapped("frmObjWiz.ReferenceEntries", defaultReferences(), [this] {
    QStringList entries;
    const auto& ini = gGlobal().Ini;
    if (ini) {
      Array2<QString> section;
      ini->SectionLoad(section, kTypeLibs);
      if (!section.isErased())
        for (int i = 1; i <= section.ubound(2); ++i) entries << section(2, i).trimmed();
    }
    return entries.isEmpty() ? defaultReferences() : entries;
  });
}

frmObjWiz::Reference frmObjWiz::resolve(const QString& entry) const {
  Reference ref{entry, {}, {}};
  trap("frmObjWiz.Resolve", [&] {
    if (entry.isEmpty()) {
      WriteLog(QStringLiteral("frmObjWiz: an empty reference entry"), kTraffic);
      return;
    }
    if (isPath(entry)) {
      if (entry.contains(u'\\') || (entry.size() > 1 && entry[1] == u':')) {
        WriteLog(QStringLiteral("frmObjWiz: a Windows path is not to be had here: ") + entry, kTraffic);
        return;
      }
      ref.file = entry;
      return;
    }
    const QString beside = gGlobal().AppPath + entry;
    if (QFileInfo(beside).isFile() && platform::readTypeLibrary(beside).ok) {
      ref.file = beside;
      return;
    }
    ref.file = registered(entry);
    if (ref.file.isEmpty()) WriteLog(QStringLiteral("frmObjWiz: no type library for ") + entry, kTraffic);
  });
  return ref;
}

void frmObjWiz::readReferences(const QStringList& entries) {
  libraries_.clear();
  references_.clear();
  QSet<QString> seen;
  for (const QString& entry : entries) {
    Reference ref = resolve(entry);
    if (seen.contains(entry.toLower())) WriteLog(QStringLiteral("frmObjWiz: listed twice: ") + entry, kTraffic);
    seen.insert(entry.toLower());
    if (!ref.file.isEmpty()) {
      const platform::TypeLibRead read =
          platform::readTypeLibrary(ref.file, [](const QString& import) { return registered(import); });
      if (read.ok) {
        ref.library = read.library.name;
        bool already = false;
        for (const Library& l : libraries_) already = already || l.file == read.library.file;
        if (!already) libraries_ << read.library;
      } else {
        WriteLog(QStringLiteral("frmObjWiz: ") + read.error, kFirstRun);
      }
    }
    references_ << ref;
  }
}

void frmObjWiz::showValues() {
  trap("frmObjWiz.ShowValues", [this] {
    pages_->setCurrentIndex(0);
    nameLists();
    readReferences(referenceEntries());
    searches_ = loadList(kSearch);
    favorites_ = loadList(kFavorites);
    fillSearchList(QString());
    fillClasses();
  });
}

void frmObjWiz::fillClasses() {
  const QString before = lstClasses_->currentItem() ? lstClasses_->currentItem()->text(0) : QString();
  const QString wanted = cboSearch_->currentText().trimmed();
  QSignalBlocker block(lstClasses_);
  lstClasses_->clear();
  for (int l = 0; l < libraries_.size(); ++l) {
    const Library& lib = libraries_[l];
    for (int c = 0; c < lib.classes.size(); ++c) {
      const Class& cls = lib.classes[c];
      bool match = wanted.isEmpty() || cls.name.contains(wanted, Qt::CaseInsensitive);
      for (const Member& m : cls.members) match = match || m.name.contains(wanted, Qt::CaseInsensitive);
      if (!match) continue;
      auto* item = new QTreeWidgetItem(lstClasses_, {cls.name});
      item->setData(0, kLibRole, l);
      item->setData(0, kIndexRole, c);
    }
  }
  if (chkSorted_->isChecked()) lstClasses_->sortItems(0, Qt::AscendingOrder);
  int row = 0;
  for (int i = 0; i < lstClasses_->topLevelItemCount(); ++i)
    if (lstClasses_->topLevelItem(i)->text(0) == before) row = i;
  if (lstClasses_->topLevelItemCount() > 0) lstClasses_->setCurrentItem(lstClasses_->topLevelItem(row));
  block.unblock();
  classChosen();
}

const Class* frmObjWiz::currentClass(const Library** lib) const {
  const QTreeWidgetItem* item = lstClasses_->currentItem();
  if (!item) return nullptr;
  const int l = item->data(0, kLibRole).toInt();
  const int c = item->data(0, kIndexRole).toInt();
  if (l < 0 || l >= libraries_.size() || c < 0 || c >= libraries_[l].classes.size()) return nullptr;
  if (lib) *lib = &libraries_[l];
  return &libraries_[l].classes[c];
}

const Member* frmObjWiz::currentMember() const {
  const Class* cls = currentClass();
  const QTreeWidgetItem* item = lstMembers_->currentItem();
  if (!cls || !item) return nullptr;
  const int m = item->data(0, kIndexRole).toInt();
  return m >= 0 && m < cls->members.size() ? &cls->members[m] : nullptr;
}

QString frmObjWiz::memberOf() const {
  QString text = hiddenText("lblMemberOf").trimmed();
  return text.isEmpty() ? QStringLiteral("Member of ") : text + u' ';
}

void frmObjWiz::classChosen() {
  const Library* lib = nullptr;
  const Class* cls = currentClass(&lib);
  QSignalBlocker block(lstMembers_);
  lstMembers_->clear();
  if (!cls) {
    rtfDOC_->setPlainText(libraries_.isEmpty() ? hiddenText("lblNoLibrary") : QString());
    return;
  }
  for (int m = 0; m < cls->members.size(); ++m) {
    auto* item = new QTreeWidgetItem(lstMembers_, {cls->members[m].name});
    item->setData(0, kIndexRole, m);
  }
  if (chkSorted_->isChecked()) lstMembers_->sortItems(0, Qt::AscendingOrder);
  QString doc =
      kindName(cls->kind) + u' ' + cls->name + QStringLiteral("\n") + memberOf() + lib->name + QStringLiteral("\n");
  if (!cls->help.isEmpty()) doc += cls->help + u'\n';
  rtfDOC_->setPlainText(doc);
  lstClasses_->setAccessibleDescription(kindName(cls->kind));
}

void frmObjWiz::memberChosen() {
  const Library* lib = nullptr;
  const Class* cls = currentClass(&lib);
  const Member* m = currentMember();
  if (!cls || !m) return;
  QString text = objwiz::memberDeclaration(*m, objwiz::DeclarationForm::HelpComment, cls);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  rtfDOC_->setPlainText(text + memberOf() + lib->name + u'.' + cls->name + u'\n');
}

void frmObjWiz::fillSearchList(const QString& text) {
  QSignalBlocker block(cboSearch_);
  cboSearch_->clear();
  QStringList items = favorites_;
  for (const QString& s : searches_)
    if (!items.contains(s, Qt::CaseInsensitive)) items << s;
  cboSearch_->addItems(items);
  cboSearch_->setCurrentText(text);
}

void frmObjWiz::search() {
  const QString text = cboSearch_->currentText().trimmed();
  if (!text.isEmpty()) {
    searches_ = inFront(text, searches_);
    storeList(kSearch, searches_);
    fillSearchList(text);
  }
  fillClasses();
}

void frmObjWiz::addFavorite(QObject* list) {
  const auto* tree = qobject_cast<QTreeWidget*>(list);
  if (!tree || !tree->currentItem()) return;
  const QString name = tree->currentItem()->text(0);
  favorites_ = inFront(name, favorites_);
  storeList(kFavorites, favorites_);
  fillSearchList(cboSearch_->currentText());
}

void frmObjWiz::clearSearch() {
  cboSearch_->setCurrentText(QString());
  fillClasses();
  lstClasses_->setFocus(Qt::OtherFocusReason);
}

void frmObjWiz::copySelection(QObject* list) {
  const Library* lib = nullptr;
  const Class* cls = currentClass(&lib);
  if (!cls) return;
  QString text;
  if (list == lstMembers_) {
    if (const Member* m = currentMember()) text = objwiz::memberDeclaration(*m, objwiz::DeclarationForm::Private, cls);
  } else {
    text = objwiz::classDeclaration(*lib, *cls);
  }
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

bool frmObjWiz::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((watched == lstClasses_ || watched == lstMembers_) && key->matches(QKeySequence::Copy)) {
      trap("frmObjWiz.Copy", [&] { copySelection(watched); });
      return true;
    }
    if ((watched == lstClasses_ || watched == lstMembers_) && key->key() == Qt::Key_D &&
        key->modifiers() == Qt::ControlModifier) {
      trap("frmObjWiz.Favorite", [&] { addFavorite(watched); });
      return true;
    }
    if ((watched == cboSearch_ || watched == cboSearch_->lineEdit()) &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      trap("frmObjWiz.cboSearch_KeyPress", [this] { search(); });
      return true;
    }
  }
  return ChildDialog::eventFilter(watched, event);
}

void frmObjWiz::ShowReferences() {
  trap("frmObjWiz.ShowReferences", [this] {
    fillReferenceList();
    pages_->setCurrentIndex(1);
    lvwFiles_->setFocus(Qt::OtherFocusReason);
    cmdOKRef_->setDefault(true);
    cmdClose_->setDefault(false);
  });
}

void frmObjWiz::showBrowsing() {
  pages_->setCurrentIndex(0);
  cmdOKRef_->setDefault(false);
  cmdClose_->setDefault(true);
  lstClasses_->setFocus(Qt::OtherFocusReason);
}

void frmObjWiz::fillReferenceList() {
  lvwFiles_->clear();
  for (const Reference& ref : references_) {
    auto* item = new QTreeWidgetItem(lvwFiles_, {ref.library, ref.file.isEmpty() ? ref.entry : ref.file});
    item->setData(0, Qt::UserRole, ref.entry);
  }
  if (lvwFiles_->topLevelItemCount() > 0) lvwFiles_->setCurrentItem(lvwFiles_->topLevelItem(0));
}

void frmObjWiz::addReference() {
  const QString file = chooser()(this, hiddenText("lblAddRef"), filter_);
  if (file.isEmpty()) return;
  const Reference ref = resolve(file);
  const platform::TypeLibRead read = platform::readTypeLibrary(file);
  if (!read.ok) WriteLog(QStringLiteral("frmObjWiz: ") + read.error, kFirstRun);
  auto* item = new QTreeWidgetItem(lvwFiles_, {read.ok ? read.library.name : QString(), file});
  item->setData(0, Qt::UserRole, ref.entry);
  lvwFiles_->setCurrentItem(item);
}

void frmObjWiz::removeReference() {
  delete lvwFiles_->currentItem();
  if (lvwFiles_->topLevelItemCount() > 0 && !lvwFiles_->currentItem())
    lvwFiles_->setCurrentItem(lvwFiles_->topLevelItem(lvwFiles_->topLevelItemCount() - 1));
}

void frmObjWiz::storeReferences() {
  QStringList entries;
  for (int i = 0; i < lvwFiles_->topLevelItemCount(); ++i)
    entries << lvwFiles_->topLevelItem(i)->data(0, Qt::UserRole).toString();
  if (const auto& ini = gGlobal().Ini) {
    // One write replaces the whole section: no reader sees it deleted and not yet written.
    Array1<QString> lines(int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) lines(i + 1) = QString::number(i + 1) + u'=' + entries[i];
    if (entries.isEmpty()) ini->SectionDelete(kTypeLibs);
    else ini->SectionWrite(kTypeLibs, lines);
  }
  readReferences(entries.isEmpty() ? defaultReferences() : entries);
  fillClasses();
  showBrowsing();
}

void frmObjWiz::reject() {
  if (pages_->currentIndex() == 1) {
    trap("frmObjWiz.picRef_Escape", [this] { showBrowsing(); });
    return;
  }
  ChildDialog::reject();
}

QString frmObjWiz::GetLiveObjectInfo(const QVariant& object) {
  return trapped("frmObjWiz.GetLiveObjectInfo", QString(), [&] {
    if (object.metaType() != QMetaType::fromType<Obj>()) return QString();
    const Obj o = object.value<Obj>();
    if (o.isNothing()) return QString();
    Library lib;
    lib.classes << liveClass(*o.target());
    return objwiz::classDeclaration(lib, lib.classes[0]);
  });
}

QString frmObjWiz::GetLineString(int line) {
  return trapped("frmObjWiz.GetLineString", QString(), [&] {
    const QTextBlock block = rtfDOC_->document()->findBlockByNumber(line);
    return block.isValid() ? block.text() : QString();
  });
}

int frmObjWiz::GetLineIndex() {
  return trapped("frmObjWiz.GetLineIndex", 0, [&] { return rtfDOC_->textCursor().blockNumber(); });
}

QString frmObjWiz::GetCurrentLineString() {
  return trapped("frmObjWiz.GetCurrentLineString", QString(), [&] { return rtfDOC_->textCursor().block().text(); });
}

JEX_FORM_REGISTRATION(frmObjWiz, {.create = [] { return std::make_unique<frmObjWiz>(); },
                                  .menuButton = 5,
                                  .commands = {{.name = QStringLiteral("SHOWTYPEDOC")}},
                                  .menuEntries = {{.name = QStringLiteral("mnuExtrasObjWiz")}}})

}  // namespace jex
