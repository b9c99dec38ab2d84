// The accessibility helpers and the form check, on a small form built like the program's
// dialogs: labelled fields, a group box, buttons with tool tips.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/common/accessibility.h"
#include "tests/support/accessibility.h"

namespace {

struct SampleForm {
  QWidget form;
  QLabel* lblName = new QLabel(QStringLiteral("&Name:"));
  QLineEdit* txtName = new QLineEdit;
  QLabel* lblLanguage = new QLabel(QStringLiteral("&Sprache:"));
  QComboBox* cboLanguage = new QComboBox;
  QGroupBox* fraSounds = new QGroupBox(QStringLiteral("&Klänge"));
  QCheckBox* chkSounds = new QCheckBox(QStringLiteral("Klänge &abspielen"));
  QLabel* lblVolume = new QLabel(QStringLiteral("&Lautstärke:"));
  QSpinBox* txtVolume = new QSpinBox;
  QPushButton* cmdOK = new QPushButton(QStringLiteral("OK"));
  QPushButton* cmdCancel = new QPushButton(QStringLiteral("Abbrechen"));

  SampleForm() {
    form.setObjectName(QStringLiteral("frmSample"));
    for (auto [w, name] : {std::pair<QWidget*, const char*>{txtName, "txtName"}, {cboLanguage, "cboLanguage"},
                           {chkSounds, "chkSounds"}, {txtVolume, "txtVolume"}, {cmdOK, "cmdOK"}, {cmdCancel, "cmdCancel"}})
      w->setObjectName(QLatin1String(name));
    cboLanguage->addItems({QStringLiteral("Deutsch"), QStringLiteral("English")});

    auto* fields = new QGridLayout;
    fields->addWidget(lblName, 0, 0);
    fields->addWidget(txtName, 0, 1);
    fields->addWidget(lblLanguage, 1, 0);
    fields->addWidget(cboLanguage, 1, 1);
    auto* sounds = new QVBoxLayout(fraSounds);
    sounds->addWidget(chkSounds);
    auto* volume = new QHBoxLayout;
    volume->addWidget(lblVolume);
    volume->addWidget(txtVolume);
    sounds->addLayout(volume);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* top = new QVBoxLayout(&form);
    top->addLayout(fields);
    top->addWidget(fraSounds);
    top->addLayout(buttons);

    jex::ui::setBuddy(lblName, txtName);
    jex::ui::setBuddy(lblLanguage, cboLanguage);
    jex::ui::setBuddy(lblVolume, txtVolume);
    jex::ui::setTip(cmdOK, QStringLiteral("Speichert die Einstellungen"));
    cmdCancel->setToolTip(QStringLiteral("Verwirft die Änderungen"));
    jex::ui::refreshAccessibility(&form);
    form.show();
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    jex::ui::setTabOrderByReading(&form);
  }
};

QString accessibleText(QWidget* w, QAccessible::Text t) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
  return iface ? iface->text(t) : QStringLiteral("<no interface>");
}

QStringList labelsOf(QWidget* w) {
  QStringList labels;
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
  if (!iface) return labels;
  for (const auto& r : iface->relations(QAccessible::Label)) labels << r.first->text(QAccessible::Name);
  return labels;
}

bool mentions(const QStringList& problems, const QString& what) {
  return std::any_of(problems.begin(), problems.end(), [&](const QString& p) { return p.contains(what); });
}

}  // namespace

TEST(AccessibilityHelpers, CaptionsLoseTheirAccelerators) {
  EXPECT_EQ(jex::ui::plainCaption(QStringLiteral("&Name:")), QStringLiteral("Name:"));
  EXPECT_EQ(jex::ui::plainCaption(QStringLiteral("Laden && &Speichern")), QStringLiteral("Laden & Speichern"));
  EXPECT_EQ(jex::ui::plainCaption(QStringLiteral("Ende&")), QStringLiteral("Ende"));
}

TEST(AccessibilityHelpers, BuddyLabelsAndGroupBoxTitlesAnnounceTheirControlsAndFollowNewCaptions) {
  SampleForm f;
  EXPECT_EQ(labelsOf(f.txtName), QStringList{QStringLiteral("Name:")});
  EXPECT_EQ(labelsOf(f.cboLanguage), QStringList{QStringLiteral("Sprache:")});
  EXPECT_TRUE(f.txtName->accessibleName().isEmpty()) << "the name must not be frozen";
  // A localised caption reaches the announcement without any refresh.
  f.lblName->setText(QStringLiteral("&Name of the profile:"));
  EXPECT_EQ(labelsOf(f.txtName), QStringList{QStringLiteral("Name of the profile:")});
  // The label's accelerator moves the focus to its control, as a blind user expects.
  QTest::keyClick(&f.form, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget(), f.cboLanguage);

  // A label that is no sibling of its control: the caption is copied and refreshed on demand.
  QWidget outside;
  auto* far = new QLabel(QStringLiteral("&Farbe:"), &outside);
  auto* cboColour = new QComboBox(&f.form);
  jex::ui::setBuddy(far, cboColour);
  EXPECT_EQ(cboColour->accessibleName(), QStringLiteral("Farbe:"));
  far->setText(QStringLiteral("&Colour:"));
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(cboColour->accessibleName(), QStringLiteral("Colour:"));
  delete far;  // a vanished label leaves the last name, never a crash
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(cboColour->accessibleName(), QStringLiteral("Colour:"));
  // Group boxes are announced with their titles, unless named on purpose.
  EXPECT_EQ(accessibleText(f.fraSounds, QAccessible::Name), QStringLiteral("Klänge"));
  f.fraSounds->setTitle(QStringLiteral("&Sounds"));
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(accessibleText(f.fraSounds, QAccessible::Name), QStringLiteral("Sounds"));
  f.fraSounds->setAccessibleName(QStringLiteral("chosen"));
  f.fraSounds->setProperty("jex_nameFromTitle", QVariant());
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(f.fraSounds->accessibleName(), QStringLiteral("chosen"));
}

TEST(AccessibilityHelpers, ToolTipsBecomeDescriptionsUnlessSetOnPurpose) {
  SampleForm f;
  // A tip set without the helper is found by the check until the descriptions are synced.
  f.txtName->setToolTip(QStringLiteral("Name des Profils"));
  const QStringList problems = jex::test::descriptionProblems(&f.form);
  ASSERT_EQ(problems.size(), 1) << problems.join(u'\n').toStdString();
  EXPECT_TRUE(problems.first().startsWith(QStringLiteral("txtName (QLineEdit): tool tip")));
  jex::ui::syncDescriptions(&f.form);
  EXPECT_TRUE(jex::test::descriptionProblems(&f.form).isEmpty());
  EXPECT_EQ(f.cmdOK->accessibleDescription(), QStringLiteral("Speichert die Einstellungen"));
  EXPECT_EQ(f.cmdCancel->accessibleDescription(), QStringLiteral("Verwirft die Änderungen"));
  EXPECT_EQ(accessibleText(f.cmdCancel, QAccessible::Description), QStringLiteral("Verwirft die Änderungen"));
  // A translated tip follows after the next sync; a removed tip takes its description along.
  f.cmdCancel->setToolTip(QStringLiteral("Discards the changes"));
  f.cmdOK->setToolTip(QString());
  f.chkSounds->setAccessibleDescription(QStringLiteral("explicit"));
  f.chkSounds->setToolTip(QStringLiteral("tip"));
  jex::ui::syncDescriptions(&f.form);
  EXPECT_EQ(f.cmdCancel->accessibleDescription(), QStringLiteral("Discards the changes"));
  EXPECT_TRUE(f.cmdOK->accessibleDescription().isEmpty());
  EXPECT_EQ(f.chkSounds->accessibleDescription(), QStringLiteral("explicit"));
}

TEST(AccessibilityHelpers, ReadingOrderFollowsRowsAndWritingDirection) {
  SampleForm f;
  const QList<QWidget*> ltr{f.txtName, f.cboLanguage, f.chkSounds, f.txtVolume, f.cmdOK, f.cmdCancel};
  EXPECT_EQ(jex::ui::readingOrder(&f.form), ltr);
  f.txtVolume->setEnabled(false);
  f.chkSounds->hide();
  EXPECT_EQ(jex::ui::readingOrder(&f.form),
            (QList<QWidget*>{f.txtName, f.cboLanguage, f.cmdOK, f.cmdCancel}));
  f.txtVolume->setEnabled(true);
  f.chkSounds->show();
  f.form.setLayoutDirection(Qt::RightToLeft);
  QApplication::processEvents();
  // The mirrored layout puts OK right of Cancel, so reading from the right keeps OK first.
  ASSERT_GT(f.cmdOK->x(), f.cmdCancel->x());
  EXPECT_EQ(jex::ui::readingOrder(&f.form), ltr);
  // The mirrored form passes the whole check (the parts of it are tested one by one below).
  jex::ui::syncDescriptions(&f.form);
  jex::ui::setTabOrderByReading(&f.form);
  EXPECT_ACCESSIBLE(&f.form);
  // The inner line edit of a spin box stands for the spin box.
  EXPECT_EQ(jex::ui::tabStopOf(f.txtVolume->findChild<QLineEdit*>()), f.txtVolume);
}

TEST(AccessibilityCheck, FindsUnlabelledControls) {
  SampleForm f;
  jex::ui::syncDescriptions(&f.form);
  auto* txtLoose = new QLineEdit(&f.form);
  txtLoose->setObjectName(QStringLiteral("txtLoose"));
  txtLoose->setText(QStringLiteral("a value is no label"));
  f.form.layout()->addWidget(txtLoose);
  auto* cmdBlank = new QPushButton(&f.form);
  cmdBlank->setObjectName(QStringLiteral("cmdBlank"));
  f.form.layout()->addWidget(cmdBlank);
  txtLoose->show();
  cmdBlank->show();
  const QStringList problems = jex::test::labelProblems(&f.form);
  EXPECT_EQ(problems.size(), 2) << problems.join(u'\n').toStdString();
  EXPECT_TRUE(mentions(problems, QStringLiteral("txtLoose (QLineEdit) is not announced with a label")));
  EXPECT_TRUE(mentions(problems, QStringLiteral("cmdBlank (QPushButton) has no accessible name")));
  // An explicit name is enough.
  txtLoose->setAccessibleName(QStringLiteral("Suche"));
  cmdBlank->setAccessibleName(QStringLiteral("Leeren"));
  EXPECT_TRUE(jex::test::labelProblems(&f.form).isEmpty());
}

TEST(AccessibilityCheck, FindsABrokenTabChain) {
  SampleForm f;
  jex::ui::syncDescriptions(&f.form);
  // The buttons were added in the wrong order: Cancel comes before OK in the chain.
  jex::ui::setTabOrder({f.txtVolume, f.cmdCancel, f.cmdOK, f.txtName});
  const QStringList problems = jex::test::tabOrderProblems(&f.form);
  EXPECT_TRUE(mentions(problems, QStringLiteral("Tab from txtVolume (QSpinBox) goes to cmdCancel (QPushButton), "
                                                "expected cmdOK (QPushButton)")))
      << problems.join(u'\n').toStdString();
  EXPECT_TRUE(mentions(problems, QStringLiteral("Shift+Tab from txtName (QLineEdit)")));
  // A control that swallows Tab keeps the focus: the chain is broken there too.
  jex::ui::setTabOrderByReading(&f.form);
  auto* txtNotes = new QTextEdit(&f.form);
  txtNotes->setObjectName(QStringLiteral("txtNotes"));
  txtNotes->setAccessibleName(QStringLiteral("Notizen"));
  f.form.layout()->addWidget(txtNotes);
  txtNotes->show();
  jex::ui::setTabOrderByReading(&f.form);
  EXPECT_TRUE(mentions(jex::test::tabOrderProblems(&f.form), QStringLiteral("Tab from txtNotes (QTextEdit) goes to txtNotes")));
  txtNotes->setTabChangesFocus(true);
  EXPECT_TRUE(jex::test::tabOrderProblems(&f.form).isEmpty());
}
