#include "dialogs/braille/frmbraille.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "localisation/frmlocalizer.h"
#include "localisation/localizable.h"
#include "widgets/accessibility.h"
#include "widgets/checklist.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {
namespace {
constexpr int kHBit = 0x100;   // chkHSpace(0); element j is kHBit << j
constexpr int kVBit = 0x1000;  // chkVSpace(0)
constexpr int kCursorFull = 255;
constexpr int kCursorUnderline = 192;

bool contractedBrailleLanguage() {
  const QString lng = frmLocalizer().LNG();
  return lng == QLatin1String("1031") || lng == QLatin1String("1036");
}
}  // namespace

frmBraille::frmBraille(QWidget* parent)
    : BrailleDialog(QStringLiteral("frmBraille"), QStringLiteral("Brailledarstellung"), parent) {
  // The preview's sample sentence (translated with the form, shown as the display would show
  // it) and the words for a list entry's state.
  hiddenTexts({{"lblSample", "Übung macht den Meister: 12 Wörter in 3 Zeilen."},
               {"lblOn", "angezeigt"},
               {"lblOff", "ausgeblendet"}});
  auto* grid = new QGridLayout;
  int row = 0;
  const auto label = [&](const char* name, const QString& caption) { return named<QLabel>(this, name, caption); };
  const auto heading = [&](const char* name, const QString& caption) {
    grid->addWidget(label(name, caption), row++, 0, 1, 3);
  };
  const auto labelled = [&](QLabel* l, QWidget* control) {
    ui::setBuddy(l, control);
    grid->addWidget(l, row, 0);
    grid->addWidget(control, row++, 1, 1, qobject_cast<QComboBox*>(control) ? 1 : 2);
  };
  const auto combo = [&](const char* lbl, const QString& caption, const char* name, const QStringList& items,
                         QLabel** labelOut = nullptr) {
    auto* c = named<QComboBox>(this, name);
    c->addItems(items);
    QLabel* l = label(lbl, caption);
    if (labelOut) *labelOut = l;
    labelled(l, c);
    return c;
  };
  const auto check = [&](const char* name, const QString& caption) {
    auto* c = named<QCheckBox>(this, name, caption);
    grid->addWidget(c, row - 1, 2);
    return c;
  };

  heading("lblH1", QStringLiteral("Darstellung"));
  cboDots_ = combo("lblDots", QStringLiteral("Braille&punkte:"), "cboDots",
                   {QStringLiteral("6 Punkt"), QStringLiteral("8 Punkt")});
  cboCursor_ = combo("lblCursor", QStringLiteral("&Cursor:"), "cboCursor",
                     {QStringLiteral("keiner"), QStringLiteral("Vollzeichen"), QStringLiteral("Unterstrich")});
  chkCursorBlink_ = check("chkCursorBlink", QStringLiteral("blinkender Cursor"));
  cboAttrib_ = combo("lblAttrib", QStringLiteral("&Attribute:"), "cboAttrib",
                     {QStringLiteral("keine"), QStringLiteral("einige"), QStringLiteral("alle")});
  cboGrade2_ = combo("lblGrade2", QStringLiteral("Kurzschriftübersetzung:"), "cboGrade2",
                     {QStringLiteral("keine"), QStringLiteral("Basis Braille"), QStringLiteral("Vollschrift"),
                      QStringLiteral("Kurzschrift")},
                     &lblGrade2_);
  chkGrade2Lower_ = check("chkGrade2Lower", QStringLiteral("Großschriftzeichen"));
  heading("lblH2", QStringLiteral("Layout"));
  lstHSpace_ =
      spaceList("lstHSpace", "chkHSpace", chkHSpace_, kHBit,
                {QStringLiteral("Leerzeichen am Zeilenanfang"), QStringLiteral("Leerzeichen in der Zeilenmitte"),
                 QStringLiteral("Leerzeichen am Zeilenende")});
  labelled(label("lblHSpace", QStringLiteral("Leerzeichen anzeigen:")), lstHSpace_);
  ui::setTip(lstHSpace_,
             QStringLiteral("hiermit können Sie horizontale Leerzeichen ausblenden, z.B. ungewünschte linke Ränder"));
  lstVSpace_ = spaceList("lstVSpace", "chkVSpace", chkVSpace_, kVBit,
                         {QStringLiteral("Leerzeilen am Fensteranfang"), QStringLiteral("Leerzeilen in der Mitte"),
                          QStringLiteral("Leerzeilen am Fensterende")});
  labelled(label("lblVSpace", QStringLiteral("Leerzeilen anzeigen:")), lstVSpace_);
  nl_Preview_ = named<QLineEdit>(this, "nl_Preview");
  nl_Preview_->setReadOnly(true);
  labelled(label("lblPreview", QStringLiteral("&Vorschau:")), nl_Preview_);
  grid->setColumnStretch(1, 1);
  content()->addLayout(grid);
  addButtons();
  syncLists();
  for (QWidget* w :
       std::initializer_list<QWidget*>{cboDots_, cboCursor_, chkCursorBlink_, cboAttrib_, cboGrade2_, chkGrade2Lower_})
    track(w);
  for (int j = 0; j < 3; ++j) {
    track(chkHSpace_[size_t(j)]);
    track(chkVSpace_[size_t(j)]);
  }

  connect(cboDots_, &QComboBox::currentIndexChanged, this, [this](int i) {
    write("frmBraille.cboDots_Click", [i](Obj& b) { b.set(QStringLiteral("BrailleStyle"), i == 0 ? 6 : 8); });
  });
  connect(cboCursor_, &QComboBox::currentIndexChanged, this, [this](int i) {
    write("frmBraille.cboCursor_Click", [i](Obj& b) {
      b.set(QStringLiteral("CursorMode"), i == 0 ? 0 : i == 1 ? kCursorFull : kCursorUnderline);
    });
  });
  connect(cboAttrib_, &QComboBox::currentIndexChanged, this, [this](int i) {
    write("frmBraille.cboAttrib_Click", [i](Obj& b) {
      b.set(QStringLiteral("AttributeState"), i == 0 ? 0 : 1);
      if (i > 0) b.set(QStringLiteral("AttributeStyle"), i);
    });
  });
  connect(cboGrade2_, &QComboBox::currentIndexChanged, this, [this](int i) {
    chkGrade2Lower_->setEnabled(i >= 1 && cboGrade2_->isEnabled());
    write("frmBraille.cboGrade2_Click", [this, i](Obj& b) {
      WriteLog(QStringLiteral("cboGrade2_Click ") + cboGrade2_->currentText(), kDetail);
      b.set(QStringLiteral("Grade2Stat"), i == 0 ? 0 : 1);
      if (i > 0) b.set(QStringLiteral("Grade2Mode"), i);
    });
  });
  connect(chkGrade2Lower_, &QCheckBox::toggled, this, [this](bool on) {
    write("frmBraille.chkGrade2Lower_Click", [on](Obj& b) { b.set(QStringLiteral("Grade2Lower"), on ? 0 : 1); });
  });
  connect(chkCursorBlink_, &QCheckBox::toggled, this, [this](bool on) {
    write("frmBraille.chkCursorBlink_Click", [on](Obj& b) { b.set(QStringLiteral("CurBlinkStat"), on ? 1 : 0); });
  });
}

QListWidget* frmBraille::spaceList(const char* name, const char* box, std::array<QCheckBox*, 3>& boxes, int firstBit,
                                   const QStringList& captions) {
  auto* list = named<ui::CheckList>(this, name);
  list->setSelectionMode(QAbstractItemView::NoSelection);  // entries are checked, not selected
  for (int j = 0; j < 3; ++j) {
    auto* c = named<QCheckBox>(this, box, captions[j]);
    loc::setArrayIndex(c, j);
    c->setVisible(false);
    boxes[size_t(j)] = c;
    auto* item = new QListWidgetItem(captions[j], list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    const int bit = firstBit << j;
    connect(c, &QCheckBox::toggled, this, [this, list, j, bit](bool on) {
      lineBit(bit, on);
      QListWidgetItem* it = list->item(j);
      if (!it || (it->checkState() == Qt::Checked) == on) return;
      const QSignalBlocker quiet(list);
      it->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    });
  }
  {
    // Space works on the current entry, the first until the user moves. Set quietly: the view
    // would announce a new current entry even while the dialog is hidden.
    const QSignalBlocker quiet(list->selectionModel());
    list->selectionModel()->setCurrentIndex(list->model()->index(0, 0), QItemSelectionModel::NoUpdate);
  }
  connect(list, &QListWidget::currentRowChanged, this, [this, list] { nameList(list); });
  connect(list, &QListWidget::itemChanged, this, [this, list, boxes](QListWidgetItem* it) {
    const int j = list->row(it);
    if (j < 0 || j >= 3) return;
    const bool on = it->checkState() == Qt::Checked;
    boxes[size_t(j)]->setChecked(on);
    nameList(list);
    // The new state is heard at once, as a check box's would be.
    QAccessible::State state;
    state.checked = true;
    QAccessibleStateChangeEvent event(list, state);
    event.setChild(j);
    QAccessible::updateAccessibility(&event);
  });
  list->setFixedHeight(list->sizeHintForRow(0) * 3 + 2 * list->frameWidth() + 2);
  return list;
}

void frmBraille::write(const char* where, const std::function<void(Obj&)>& fn) {
  if (loading()) return;
  trap(where, [&] {
    Obj b = braille(where);
    if (b.isNothing()) return;
    fn(b);
  });
  renderPreview();
}

void frmBraille::lineBit(int bit, bool on) {
  write("frmBraille.chkSpace_Click", [bit, on](Obj& b) {
    const qint32 mode = b.i32(QStringLiteral("BrailleLineMode"));
    b.set(QStringLiteral("BrailleLineMode"), on ? (mode | bit) : (mode & ~bit));
  });
}

void frmBraille::syncLists() {
  for (auto [list, boxes] : {std::pair{lstHSpace_, &chkHSpace_}, std::pair{lstVSpace_, &chkVSpace_}}) {
    {
      const QSignalBlocker quiet(list);
      for (int j = 0; j < 3; ++j)
        if (QListWidgetItem* it = list->item(j)) {
          it->setText((*boxes)[size_t(j)]->text());
          it->setCheckState((*boxes)[size_t(j)]->isChecked() ? Qt::Checked : Qt::Unchecked);
        }
    }
    nameList(list);
  }
}

// A list is announced by its label, its current entry and that entry's state, so that the
// state is heard on entering the list and again when Space changes it.
void frmBraille::nameList(QListWidget* list) {
  trap("frmBraille.nameList", [&] {
    auto* l = findChild<QLabel*>(list == lstHSpace_ ? QStringLiteral("lblHSpace") : QStringLiteral("lblVSpace"));
    QString name = l ? ui::plainCaption(l->text()) : QString();
    if (const QListWidgetItem* it = list->currentItem())
      name +=
          u' ' + it->text() + QStringLiteral(", ") + hiddenText(it->checkState() == Qt::Checked ? "lblOn" : "lblOff");
    if (list->accessibleName() != name) list->setAccessibleName(name);
  });
}

void frmBraille::showValues() {
  trap("frmBraille.LoadValues", [this] {
    Obj b = braille("frmBraille.LoadValues");
    if (b.isNothing()) return;
    const qint32 dots = b.i32(QStringLiteral("BrailleStyle"));
    if (dots == 6 || dots == 8) cboDots_->setCurrentIndex(dots == 6 ? 0 : 1);
    const qint32 cursor = b.i32(QStringLiteral("CursorMode"));
    cboCursor_->setCurrentIndex(cursor == 0 ? 0 : cursor == kCursorFull ? 1 : 2);
    cboAttrib_->setCurrentIndex(b.i32(QStringLiteral("AttributeState")) == 0 ? 0
                                                                             : b.i32(QStringLiteral("AttributeStyle")));
    const bool contracted = contractedBrailleLanguage();
    cboGrade2_->setEnabled(contracted);
    lblGrade2_->setEnabled(contracted);
    if (contracted) {
      const bool on = b.i32(QStringLiteral("Grade2Stat")) == 1;
      cboGrade2_->setCurrentIndex(on ? b.i32(QStringLiteral("Grade2Mode")) : 0);
      chkGrade2Lower_->setEnabled(on);
      chkGrade2Lower_->setChecked(b.i32(QStringLiteral("Grade2Lower")) == 0);
    } else {
      chkGrade2Lower_->setEnabled(false);
    }
    const qint32 lineMode = b.i32(QStringLiteral("BrailleLineMode"));
    for (int j = 0; j < 3; ++j) {
      chkHSpace_[size_t(j)]->setChecked(lineMode & (kHBit << j));
      chkVSpace_[size_t(j)]->setChecked(lineMode & (kVBit << j));
    }
    chkCursorBlink_->setChecked(b.i32(QStringLiteral("CurBlinkStat")) != 0);
  });
  syncLists();
  renderPreview();
}

void frmBraille::renderPreview() {
  const QString shown = trapped("frmBraille.Preview", QString(), [this] {
    Obj b = braille("frmBraille.Preview");
    return b.isNothing() ? QString()
                         : b.call(QStringLiteral("RenderBraillePreview"), {hiddenText("lblSample")}).toString();
  });
  nl_Preview_->setText(shown);
}

void frmBraille::store() {
  trap("frmBraille.store", [this] {
    WriteLog(QStringLiteral("Save BrailleCls.Values"), kDetail);
    if (Obj b = braille("frmBraille.store")) b.call(QStringLiteral("SaveValues"));
  });
}

bool frmBraille::handleCmd(const QString& command) {
  const bool mine = BrailleDialog::handleCmd(command);
  if (mine && command == QLatin1String("UI_LNGCHANGE")) {
    syncLists();
    renderPreview();
  }
  return mine;
}

JEX_FORM_REGISTRATION(frmBraille,
                      {.create = [] { return std::make_unique<frmBraille>(); },
                       .preload = 6,
                       .menuButton = 1,
                       .commands = {
                           {.name = QStringLiteral("DLGBRAILLEOPT")},
                           {.name = QStringLiteral("VCOMPRESSIONDLG"), .args = {QStringLiteral("lstVSpace")}},
                           {.name = QStringLiteral("HCOMPRESSIONDLG"), .args = {QStringLiteral("lstHSpace")}}}})

}  // namespace jex
