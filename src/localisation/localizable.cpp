#include "localisation/localizable.h"

#include "widgets/accessibility.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTreeView>

namespace jex::loc {

const QStringList& kindNames() {
  static const QStringList names{QStringLiteral("command"),  QStringLiteral("option"),   QStringLiteral("check"),
                                 QStringLiteral("frame"),    QStringLiteral("label"),    QStringLiteral("menu"),
                                 QStringLiteral("list"),     QStringLiteral("tabstrip"), QStringLiteral("tree"),
                                 QStringLiteral("listview"), QStringLiteral("textbox"),  QStringLiteral("richtext"),
                                 QStringLiteral("picture"),  QStringLiteral("other")};
  return names;
}

void setArrayIndex(QObject* obj, int index) { obj->setProperty(kIndexProperty, index); }

namespace {

bool isInnerPart(const QString& name) {
  return name.isEmpty() || name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1String("_q_"));
}

Kind kindByClass(const QObject* obj) {
  const QString name = obj->objectName();
  if (qobject_cast<const QAction*>(obj) || qobject_cast<const QMenu*>(obj)) return Kind::MenuItem;
  const bool pic = name.startsWith(QLatin1String("pic"));
  if (qobject_cast<const QLabel*>(obj)) return pic ? Kind::PictureBox : Kind::Label;
  if (qobject_cast<const QRadioButton*>(obj)) return Kind::OptionButton;
  if (qobject_cast<const QCheckBox*>(obj)) return Kind::CheckBox;
  if (qobject_cast<const QAbstractButton*>(obj)) return Kind::CommandButton;
  if (qobject_cast<const QGroupBox*>(obj)) return Kind::Frame;
  if (qobject_cast<const QComboBox*>(obj) || qobject_cast<const QListWidget*>(obj)) return Kind::List;
  if (qobject_cast<const QTabWidget*>(obj) || qobject_cast<const QTabBar*>(obj)) return Kind::TabStrip;
  if (qobject_cast<const QTableView*>(obj)) return Kind::ListView;
  if (qobject_cast<const QTreeView*>(obj))
    return name.startsWith(QLatin1String("lvw")) ? Kind::ListView : Kind::TreeView;
  if (qobject_cast<const QTextBrowser*>(obj)) return Kind::RichTextBox;
  if (qobject_cast<const QLineEdit*>(obj) || qobject_cast<const QPlainTextEdit*>(obj) ||
      qobject_cast<const QTextEdit*>(obj))
    return Kind::TextBox;
  const QByteArray cls = obj->metaObject()->className();
  if (pic && (cls == "QWidget" || cls == "QFrame")) return Kind::PictureBox;
  return Kind::Other;
}

void collect(const QObject* parent, QList<Control>& out) {
  for (QObject* child : parent->children()) {
    if (child->property(kFormProperty).toBool()) continue;  // a nested form localises itself
    const bool control = child->isWidgetType() || qobject_cast<QAction*>(child);
    if (control && !isInnerPart(child->objectName())) {
      const QVariant index = child->property(kIndexProperty);
      out.append(Control(child, kindOf(child), index.isValid() ? index.toInt() : -1));
    }
    collect(child, out);
  }
}

}  // namespace

Kind kindOf(const QObject* obj) {
  const QVariant forced = obj->property(kKindProperty);
  if (forced.isValid()) {
    const qsizetype at = kindNames().indexOf(forced.toString().toLower());
    if (at >= 0) return static_cast<Kind>(at);
  }
  return kindByClass(obj);
}

QList<Control> controlsOf(const QWidget* form) {
  QList<Control> controls;
  if (form) collect(form, controls);
  return controls;
}

void nudge(QWidget* w) {
  if (w) w->updateGeometry();
}

// ---------------------------------------------------------------------------------------------

Control::Control(QObject* object, Kind kind, int index) : object_(object), kind_(kind), index_(index) {}

QWidget* Control::widget() const { return object_->isWidgetType() ? static_cast<QWidget*>(object_) : nullptr; }

QString Control::name() const { return object_->objectName(); }

QString Control::key() const {
  return index_ < 0 ? name() : name() + QLatin1Char('(') + QString::number(index_) + QLatin1Char(')');
}

QString Control::caption() const {
  if (auto* a = qobject_cast<QAction*>(object_)) return a->text();
  if (auto* m = qobject_cast<QMenu*>(object_)) return m->title();
  if (auto* b = qobject_cast<QAbstractButton*>(object_)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(object_)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(object_)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(object_)) return e->text();
  if (auto* p = qobject_cast<QPlainTextEdit*>(object_)) return p->toPlainText();
  if (auto* t = qobject_cast<QTextEdit*>(object_)) return t->toPlainText();
  return {};
}

void Control::setCaption(const QString& text) const {
  if (auto* a = qobject_cast<QAction*>(object_)) a->setText(text);
  else if (auto* m = qobject_cast<QMenu*>(object_)) m->setTitle(text);
  else if (auto* b = qobject_cast<QAbstractButton*>(object_)) b->setText(text);
  else if (auto* g = qobject_cast<QGroupBox*>(object_)) g->setTitle(text);
  else if (auto* l = qobject_cast<QLabel*>(object_)) l->setText(text);
  else if (auto* e = qobject_cast<QLineEdit*>(object_)) e->setText(text);
  else if (auto* p = qobject_cast<QPlainTextEdit*>(object_)) p->setPlainText(text);
  else if (auto* t = qobject_cast<QTextEdit*>(object_)) t->setPlainText(text);
}

QString Control::toolTip() const {
  if (auto* a = qobject_cast<QAction*>(object_)) return a->toolTip() == a->iconText() ? QString() : a->toolTip();
  if (QWidget* w = widget()) return w->toolTip();
  return {};
}

// The accessible description of a widget always follows its tool tip.
void Control::setToolTip(const QString& tip) const {
  if (auto* a = qobject_cast<QAction*>(object_)) a->setToolTip(tip);
  else if (QWidget* w = widget()) ui::setTip(w, tip);
}

bool Control::isSeparator() const {
  if (auto* a = qobject_cast<QAction*>(object_)) return a->isSeparator() || a->text() == QLatin1String("-");
  return caption() == QLatin1String("-");
}

int Control::itemCount() const {
  if (auto* c = qobject_cast<QComboBox*>(object_)) return c->count();
  if (auto* l = qobject_cast<QListWidget*>(object_)) return l->count();
  if (auto* t = qobject_cast<QTabWidget*>(object_)) return t->count();
  if (auto* t = qobject_cast<QTabBar*>(object_)) return t->count();
  return 0;
}

QString Control::itemText(int n) const {
  if (auto* c = qobject_cast<QComboBox*>(object_)) return c->itemText(n);
  if (auto* l = qobject_cast<QListWidget*>(object_)) return l->item(n) ? l->item(n)->text() : QString();
  if (auto* t = qobject_cast<QTabWidget*>(object_)) return t->tabText(n - 1);
  if (auto* t = qobject_cast<QTabBar*>(object_)) return t->tabText(n - 1);
  return {};
}

void Control::setItemText(int n, const QString& text) const {
  if (auto* c = qobject_cast<QComboBox*>(object_)) c->setItemText(n, text);
  else if (auto* l = qobject_cast<QListWidget*>(object_)) {
    if (l->item(n)) l->item(n)->setText(text);
  } else if (auto* t = qobject_cast<QTabWidget*>(object_)) t->setTabText(n - 1, text);
  else if (auto* t = qobject_cast<QTabBar*>(object_)) t->setTabText(n - 1, text);
}

QList<QWidget*> Control::directionWindows() const {
  QWidget* w = widget();
  if (!w) return {};
  if (kind_ == Kind::ListView) {
    if (auto* t = qobject_cast<QTableView*>(w)) return {w, t->horizontalHeader()};
    if (auto* t = qobject_cast<QTreeView*>(w)) return {w, t->header()};
  }
  return {w};
}

}  // namespace jex::loc
