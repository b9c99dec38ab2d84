#include "corvane/reader/atspilistener.h"

#include <QHash>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#pragma push_macro("signals")
#undef signals
#include <atspi/atspi.h>
#pragma pop_macro("signals")

#include "base/error.h"
#include "base/log.h"

namespace corvane::reader {

namespace {
constexpr int kCallTimeoutMs = 800;      // one call to the application
constexpr int kStartupTimeoutMs = 2000;  // the first calls, while the registry starts
// Enough of a text to have kMaxPart characters left once its blanks are folded.
constexpr int kReadChars = 4 * kMaxPart;
// A removal or a caret move is read this much later: a text replaced in one go (a value the
// program sets) comes as a caret move, a removal and then an insertion at the same place, and is
// heard as one edit, the new text.
constexpr int kReplaceWaitMs = 30;
// A request to read the focused text waits this long, so that the focus a program takes back
// as its window comes to the front (JexUI's window just closed) is heard first; while no text
// has the focus it looks again, kFocusTries times in all (a busy desktop tells focus late).
constexpr int kFocusSettleMs = 80;
constexpr int kFocusTries = 8;

const char* const kEvents[] = {"object:state-changed:focused",
                               "object:state-changed:checked",
                               "object:property-change:accessible-name",
                               "object:property-change:accessible-value",
                               "object:text-caret-moved",
                               "object:text-changed:insert",
                               "object:text-changed:delete",
                               "object:children-changed",
                               "window:activate"};

QString take(gchar* s) {
  const QString r = QString::fromUtf8(s ? s : "");
  g_free(s);
  return r;
}

// Logs and clears a failed call's error; true when there was one.
bool failed(GError*& err, const char* what) {
  if (!err) return false;
  jex::WriteLog(QStringLiteral("reader: %1: %2").arg(QString::fromLatin1(what), QString::fromUtf8(err->message)),
                jex::kDetail);
  g_clear_error(&err);
  return true;
}

Kind kindOf(AtspiRole role) {
  switch (role) {
    case ATSPI_ROLE_PUSH_BUTTON:
      return Kind::Button;
    case ATSPI_ROLE_TOGGLE_BUTTON:
      return Kind::ToggleButton;
    case ATSPI_ROLE_CHECK_BOX:
      return Kind::CheckBox;
    case ATSPI_ROLE_RADIO_BUTTON:
      return Kind::RadioButton;
    case ATSPI_ROLE_COMBO_BOX:
      return Kind::ComboBox;
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_ENTRY:
      return Kind::Edit;
    case ATSPI_ROLE_PASSWORD_TEXT:
      return Kind::PasswordEdit;
    case ATSPI_ROLE_SPIN_BUTTON:
      return Kind::SpinBox;
    case ATSPI_ROLE_SLIDER:
      return Kind::Slider;
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
      return Kind::List;
    case ATSPI_ROLE_LIST_ITEM:
      return Kind::ListItem;
    case ATSPI_ROLE_TABLE:
      return Kind::Table;
    case ATSPI_ROLE_TABLE_CELL:
      return Kind::TableCell;
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE:
      return Kind::Tree;
    case ATSPI_ROLE_TREE_ITEM:
      return Kind::TreeItem;
    case ATSPI_ROLE_PAGE_TAB:
      return Kind::PageTab;
    case ATSPI_ROLE_PAGE_TAB_LIST:
      return Kind::PageTabList;
    case ATSPI_ROLE_MENU:
      return Kind::Menu;
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
      return Kind::MenuItem;
    case ATSPI_ROLE_MENU_BAR:
      return Kind::MenuBar;
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
      return Kind::Label;
    case ATSPI_ROLE_STATUS_BAR:
      return Kind::StatusBar;
    case ATSPI_ROLE_PROGRESS_BAR:
      return Kind::ProgressBar;
    case ATSPI_ROLE_SCROLL_BAR:
      return Kind::ScrollBar;
    case ATSPI_ROLE_TOOL_BAR:
      return Kind::ToolBar;
    case ATSPI_ROLE_DOCUMENT_FRAME:
    case ATSPI_ROLE_DOCUMENT_TEXT:
      return Kind::Document;
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
      return Kind::Dialog;
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
      return Kind::Window;
    case ATSPI_ROLE_LINK:
      return Kind::Link;
    case ATSPI_ROLE_GROUPING:
      return Kind::Group;
    default:
      return Kind::Other;
  }
}

QString textOf(AtspiAccessible* a, int from, int to) {
  AtspiText* t = atspi_accessible_get_text_iface(a);
  if (!t) return {};
  GError* err = nullptr;
  const int count = atspi_text_get_character_count(t, &err);
  QString s = failed(err, "text length") ? QString() : take(atspi_text_get_text(t, from, qMin(to, count), &err));
  failed(err, "text");
  g_object_unref(t);
  return s;
}

QString labelledBy(AtspiAccessible* a) {
  GError* err = nullptr;
  GArray* rels = atspi_accessible_get_relation_set(a, &err);
  if (failed(err, "relations") || !rels) return {};
  QString label;
  for (guint i = 0; i < rels->len && label.isEmpty(); ++i) {
    AtspiRelation* r = g_array_index(rels, AtspiRelation*, i);
    if (atspi_relation_get_relation_type(r) != ATSPI_RELATION_LABELLED_BY || atspi_relation_get_n_targets(r) < 1)
      continue;
    if (AtspiAccessible* target = atspi_relation_get_target(r, 0)) {
      label = take(atspi_accessible_get_name(target, &err));
      failed(err, "label name");
      g_object_unref(target);
    }
  }
  for (guint i = 0; i < rels->len; ++i) g_object_unref(g_array_index(rels, AtspiRelation*, i));
  g_array_free(rels, TRUE);
  return label;
}

// The selected item of a drop-down list: the selection of its list child.
QString selectedItem(AtspiAccessible* combo) {
  GError* err = nullptr;
  const int n = atspi_accessible_get_child_count(combo, &err);
  if (failed(err, "children")) return {};
  QString item;
  for (int i = 0; i < n && item.isEmpty(); ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(combo, i, &err);
    if (failed(err, "child") || !child) continue;
    if (AtspiSelection* sel = atspi_accessible_get_selection_iface(child)) {
      if (AtspiAccessible* chosen = atspi_selection_get_selected_child(sel, 0, &err)) {
        item = take(atspi_accessible_get_name(chosen, &err));
        g_object_unref(chosen);
      }
      failed(err, "selection");
      g_object_unref(sel);
    }
    g_object_unref(child);
  }
  return item;
}

QString numberOf(AtspiAccessible* a) {
  AtspiValue* v = atspi_accessible_get_value_iface(a);
  if (!v) return {};
  GError* err = nullptr;
  const double d = atspi_value_get_current_value(v, &err);
  g_object_unref(v);
  return failed(err, "value") ? QString() : QString::number(d, 'g', 10);
}

// True for a label that names a control (its label-for relation): the control says it.
bool labelsAControl(AtspiAccessible* a) {
  GError* err = nullptr;
  GArray* rels = atspi_accessible_get_relation_set(a, &err);
  if (failed(err, "relations") || !rels) return false;
  bool labels = false;
  for (guint i = 0; i < rels->len; ++i) {
    AtspiRelation* r = g_array_index(rels, AtspiRelation*, i);
    labels = labels || atspi_relation_get_relation_type(r) == ATSPI_RELATION_LABEL_FOR;
    g_object_unref(r);
  }
  g_array_free(rels, TRUE);
  return labels;
}

// The text of a message or question box: its shown labels that name no control, in the order
// of the tree. Other windows have none (their labels are heard with their controls).
QString boxText(AtspiAccessible* window) {
  GError* err = nullptr;
  const AtspiRole role = atspi_accessible_get_role(window, &err);
  if (failed(err, "window role") || (role != ATSPI_ROLE_DIALOG && role != ATSPI_ROLE_ALERT)) return {};
  constexpr int kMaxObjects = 80;  // a box is small; a big dialog is not read through
  QStringList texts;
  QList<AtspiAccessible*> todo{window};
  g_object_ref(window);
  int seen = 0;
  while (!todo.isEmpty()) {
    AtspiAccessible* a = todo.takeFirst();
    if (++seen <= kMaxObjects) {
      const AtspiRole r = atspi_accessible_get_role(a, &err);
      if (!failed(err, "role") && a != window && (r == ATSPI_ROLE_LABEL || r == ATSPI_ROLE_STATIC) &&
          !labelsAControl(a)) {
        AtspiStateSet* states = atspi_accessible_get_state_set(a);
        const bool shown = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        if (states) g_object_unref(states);
        const QString name = take(atspi_accessible_get_name(a, &err)).simplified();
        if (!failed(err, "label") && shown && !name.isEmpty()) texts << name;
      }
      const int n = atspi_accessible_get_child_count(a, &err);
      for (int i = 0; !failed(err, "children") && i < n; ++i)
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, &err)) todo << child;
    }
    g_object_unref(a);
  }
  if (seen > kMaxObjects) return {};
  if (texts.isEmpty()) {  // a box that tells its text only as its description
    texts << take(atspi_accessible_get_description(window, &err)).simplified();
    failed(err, "description");
  }
  return texts.join(u' ');
}

// False for a focus that has moved on by the time it is read (the control a closing dialog handed
// the focus to on its way) or whose window has gone: the focus that took its place is said, or
// nothing when the focus has left the program. The object's states are asked afresh.
// A window activated is said only while it shows.
bool stillFocused(AtspiAccessible* a, bool window = false) {
  atspi_accessible_clear_cache(a);
  AtspiStateSet* states = atspi_accessible_get_state_set(a);
  if (!states) return true;
  const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
  const bool focused = window || atspi_state_set_contains(states, ATSPI_STATE_FOCUSED) ||
                       !atspi_state_set_contains(states, ATSPI_STATE_FOCUSABLE);
  g_object_unref(states);
  return showing && focused;
}

// Whether a text field is among the children of a (a drop-down list's own field comes last).
bool hasField(AtspiAccessible* a) {
  GError* err = nullptr;
  const int n = atspi_accessible_get_child_count(a, &err);
  if (failed(err, "children") || n <= 0) return false;
  AtspiAccessible* last = atspi_accessible_get_child_at_index(a, n - 1, &err);
  if (failed(err, "child") || !last) return false;
  const Kind kind = kindOf(atspi_accessible_get_role(last, &err));
  g_object_unref(last);
  return !failed(err, "role") && (kind == Kind::Edit || kind == Kind::PasswordEdit);
}

AccessibleInfo readInfo(AtspiAccessible* a) {
  AccessibleInfo info;
  GError* err = nullptr;
  info.kind = kindOf(atspi_accessible_get_role(a, &err));
  if (failed(err, "role")) return info;
  info.name = take(atspi_accessible_get_name(a, &err));
  failed(err, "name");
  info.description = take(atspi_accessible_get_description(a, &err));
  failed(err, "description");
  info.labelledBy = labelledBy(a);
  if (AtspiStateSet* states = atspi_accessible_get_state_set(a)) {
    info.checkable = info.kind == Kind::CheckBox || info.kind == Kind::RadioButton || info.kind == Kind::ToggleButton ||
                     atspi_state_set_contains(states, ATSPI_STATE_CHECKABLE);
    info.checked = atspi_state_set_contains(states, ATSPI_STATE_CHECKED);
    // Qt tells a read-only field editable as well, and read-only besides.
    info.editable = atspi_state_set_contains(states, ATSPI_STATE_EDITABLE) &&
                    !atspi_state_set_contains(states, ATSPI_STATE_READ_ONLY);
    // Qt tells a menu entry checked, never checkable.
    if (info.kind == Kind::MenuItem && info.checked) info.checkable = true;
    g_object_unref(states);
  }
  if (info.kind == Kind::PasswordEdit) info.editable = true;
  // A drop-down list that does not tell it is editable still is when a text field is among its
  // children (the last one, after its entries).
  if (info.kind == Kind::ComboBox && !info.editable) info.editable = hasField(a);
  switch (info.kind) {
    case Kind::ComboBox: {
      // A drop-down list holds its chosen entry as its text (our own combo interface); Qt's own
      // tells its current item as its name when a label names it. The selection of its list is
      // brought up to date only when the list opens, so it comes last.
      QString item = textOf(a, 0, kReadChars);
      if (item.isEmpty() && !info.name.isEmpty() && info.name != info.labelledBy) item = info.name;
      if (item.isEmpty()) item = selectedItem(a);
      info.value = item;
      break;
    }
    case Kind::Edit:
    case Kind::Document:
    case Kind::Label:
      info.value = textOf(a, 0, kReadChars);
      break;
    case Kind::SpinBox: {
      const QString text = textOf(a, 0, kReadChars);
      info.value = text.isEmpty() ? numberOf(a) : text;
      break;
    }
    case Kind::Slider:
    case Kind::ProgressBar:
    case Kind::ScrollBar:
      info.value = numberOf(a);
      break;
    default:
      break;
  }
  return info;
}

bool isMenuRole(AtspiRole r) { return r == ATSPI_ROLE_MENU || r == ATSPI_ROLE_POPUP_MENU || r == ATSPI_ROLE_MENU_BAR; }
bool isEntryRole(AtspiRole r) {
  return r == ATSPI_ROLE_MENU_ITEM || r == ATSPI_ROLE_CHECK_MENU_ITEM || r == ATSPI_ROLE_RADIO_MENU_ITEM ||
         r == ATSPI_ROLE_MENU;  // a submenu's entry in GTK
}

// The shown entries of the menus heard lately, in their order, each with a reference: an
// entry's place is found without asking the application about every entry of its menu again at
// each move. A menu's list goes when the application tells that the menu's children changed or
// that the menu itself went (children-changed of its parent); it is read again when the menu's
// number of children is not the one it was read with (a toolkit that adds entries without a
// word), and when the focused entry is not in it.
class MenuEntries {
 public:
  struct List {
    QList<AtspiAccessible*> shown;
    int children = -1;     // the menu's children when it was read
    bool counted = false;  // false for a menu too long to be counted through
  };
  MenuEntries() = default;
  MenuEntries(const MenuEntries&) = delete;
  MenuEntries& operator=(const MenuEntries&) = delete;
  ~MenuEntries() { clear(); }

  // The menu's list; read from the application when it is not known, has changed, or reread is
  // set.
  const List& of(AtspiAccessible* menu, bool reread) {
    GError* err = nullptr;
    int children = atspi_accessible_get_child_count(menu, &err);
    if (failed(err, "entries")) children = -1;
    auto it = lists_.find(menu);
    if (it != lists_.end() && !reread && children >= 0 && it->children == children) return *it;
    if (it != lists_.end()) {
      drop(*it);
      *it = List();
    } else {
      if (lists_.size() >= kMaxMenus) clear();  // a few menus are heard again and again; others go
      g_object_ref(menu);
      it = lists_.insert(menu, List());
    }
    read(menu, children, *it);
    return *it;
  }
  void forget(AtspiAccessible* menu) {
    const auto it = lists_.find(menu);
    if (it == lists_.end()) return;
    drop(*it);
    lists_.erase(it);
    g_object_unref(menu);
  }
  void clear() {
    for (auto it = lists_.begin(); it != lists_.end(); ++it) {
      drop(*it);
      g_object_unref(it.key());
    }
    lists_.clear();
  }

 private:
  static constexpr int kMaxEntries = 200;  // a longer menu is not counted through
  static constexpr qsizetype kMaxMenus = 32;
  static void drop(List& l) {
    for (AtspiAccessible* e : std::as_const(l.shown)) g_object_unref(e);
    l.shown.clear();
  }
  static void read(AtspiAccessible* menu, int n, List& l) {
    GError* err = nullptr;
    l.children = n;
    for (int i = 0; i < n && i < kMaxEntries; ++i) {
      AtspiAccessible* c = atspi_accessible_get_child_at_index(menu, i, &err);
      if (failed(err, "entry") || !c) continue;
      bool shown = isEntryRole(atspi_accessible_get_role(c, &err));
      failed(err, "entry role");
      if (shown)
        if (AtspiStateSet* st = atspi_accessible_get_state_set(c)) {
          shown = atspi_state_set_contains(st, ATSPI_STATE_VISIBLE);
          g_object_unref(st);
        }
      if (shown) l.shown << c;  // the reference goes with it
      else g_object_unref(c);
    }
    l.counted = n >= 0 && n <= kMaxEntries;
  }
  QHash<AtspiAccessible*, List> lists_;
};

// An entry's place among the shown entries of its menu, and whether it opens a submenu: a menu
// of its own (GTK), or a menu below it (Qt). The menu is returned (with a reference) to tell
// whether the focus has come into another menu.
AtspiAccessible* placeInMenu(AtspiAccessible* entry, AccessibleInfo& info, MenuEntries& menus) {
  GError* err = nullptr;
  const AtspiRole role = atspi_accessible_get_role(entry, &err);
  if (failed(err, "entry role") || !isEntryRole(role)) return nullptr;
  info.opensSubmenu = role == ATSPI_ROLE_MENU;
  if (!info.opensSubmenu) {
    const int n = atspi_accessible_get_child_count(entry, &err);
    for (int i = 0; !failed(err, "entry children") && i < n && !info.opensSubmenu; ++i)
      if (AtspiAccessible* c = atspi_accessible_get_child_at_index(entry, i, &err)) {
        info.opensSubmenu = isMenuRole(atspi_accessible_get_role(c, &err));
        failed(err, "submenu role");
        g_object_unref(c);
      }
  }
  AtspiAccessible* menu = atspi_accessible_get_parent(entry, &err);
  if (failed(err, "menu") || !menu) return nullptr;
  const bool inMenu = isMenuRole(atspi_accessible_get_role(menu, &err));
  if (failed(err, "menu role") || !inMenu) {
    g_object_unref(menu);
    return nullptr;
  }
  const MenuEntries::List* list = &menus.of(menu, false);
  qsizetype at = list->shown.indexOf(entry);
  if (at < 0) {  // an entry the list does not know yet: the menu changed without a word
    list = &menus.of(menu, true);
    at = list->shown.indexOf(entry);
  }
  if (at >= 0 && list->counted) {
    info.position = int(at) + 1;
    info.entries = int(list->shown.size());
  }
  return menu;
}

// The name of a submenu: the entry that opens it (Qt), or its own (GTK).
QString submenuName(AtspiAccessible* menu) {
  GError* err = nullptr;
  QString name;
  if (AtspiAccessible* opener = atspi_accessible_get_parent(menu, &err)) {
    if (isEntryRole(atspi_accessible_get_role(opener, &err)) && !failed(err, "opener role")) {
      name = take(atspi_accessible_get_name(opener, &err));
      failed(err, "opener name");
    }
    g_object_unref(opener);
  }
  failed(err, "opener");
  if (name.isEmpty() && atspi_accessible_get_role(menu, &err) == ATSPI_ROLE_MENU) {
    name = take(atspi_accessible_get_name(menu, &err));  // GTK's submenu entry holds the menu
  }
  failed(err, "submenu name");
  return name;
}
}  // namespace

struct AtspiListener::State {
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  AtspiEventListener* listener = nullptr;
  // Read when idle: the latest event of each kind since the last read.
  AtspiAccessible* focused = nullptr;  // the object that has the focus (kept)
  AtspiAccessible* pendingWindow = nullptr;
  AtspiAccessible* pending = nullptr;
  ReaderEvent::Type pendingType = ReaderEvent::Focus;
  int caretFrom = -1, caretTo = 0;
  FieldCaret field;                 // the focused object's caret
  AtspiAccessible* menu = nullptr;  // the menu of the entry last focused (kept), else none
  MenuEntries menus;                // the entries of the menus heard lately
  // The latest edit of the focused object's text.
  bool editInserted = false, editCaretWasAfter = false;
  int editOffset = 0, editLength = 0;
  QString editText;
  QString editReplaced;  // an insertion: the text a removal just before took from its place
  GSource* idle = nullptr;
  bool delayed = false;  // idle is a timer: a removal waits for an insertion
  AtspiListener* owner = nullptr;
  // Between the thread and stop(): the loop from its creation on, and whether the thread is
  // still registering with the registry (a call that can block for D-Bus's 25 s).
  std::mutex mutex;
  bool stopping = false;
  std::atomic<bool> registering{false};
};

namespace {
// Whether a is the text field of the drop-down list list (an editable one).
bool isFieldOf(AtspiAccessible* a, AtspiAccessible* list) {
  if (!a || !list) return false;
  GError* err = nullptr;
  const Kind kind = kindOf(atspi_accessible_get_role(list, &err));
  if (failed(err, "role") || kind != Kind::ComboBox) return false;
  AtspiAccessible* parent = atspi_accessible_get_parent(a, &err);
  if (failed(err, "parent") || !parent) return false;
  const bool ours = parent == list;
  g_object_unref(parent);
  return ours;
}

void replace(AtspiAccessible*& slot, AtspiAccessible* a) {
  if (a) g_object_ref(a);
  if (slot) g_object_unref(slot);
  slot = a;
}

gboolean readPending(gpointer data);

// An edit waiting to be read is read at once, with whatever else waits.
void readEditNow(AtspiListener::State& s) {
  if (!s.pending || s.pendingType != ReaderEvent::Edited || !s.idle) return;
  g_source_destroy(s.idle);
  readPending(&s);  // unreferences the source
}

// Reads the pending events when the thread is idle, or after delayMs.
void schedule(AtspiListener::State& s, int delayMs = 0) {
  if (s.idle && (delayMs > 0 || !s.delayed)) return;
  if (s.idle) {  // a waiting removal: what came after it is read now
    g_source_destroy(s.idle);
    g_source_unref(s.idle);
  }
  s.delayed = delayMs > 0;
  s.idle = s.delayed ? g_timeout_source_new(guint(delayMs)) : g_idle_source_new();
  g_source_set_priority(s.idle, G_PRIORITY_LOW);  // after every message already waiting
  g_source_set_callback(s.idle, readPending, &s, nullptr);
  g_source_attach(s.idle, s.context);
}
}  // namespace

AtspiListener::AtspiListener(Sink sink) : sink_(std::move(sink)), state_(std::make_unique<State>()) {
  state_->owner = this;
}

AtspiListener::~AtspiListener() { stop(); }

namespace {
// The listener's event callback, on its thread: note the event, read it when idle.
void onEvent(AtspiEvent* event, void* data) {
  auto& s = *static_cast<AtspiListener::State*>(data);
  // The event is ours (with its source's reference and its value): freed on every way out, the
  // many that are not read included, or each event of the desktop stays in memory.
  const std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> owned(
      event, [](AtspiEvent* e) { g_boxed_free(ATSPI_TYPE_EVENT, e); });
  jex::trap("AtspiListener.onEvent", [&] {
    if (!event || !event->source || !event->type) return;
    const QByteArray type(event->type);
    // A menu whose entries changed, or that went (told by its parent, with the menu as the
    // child), is counted again when its entries are heard next.
    if (type.startsWith("object:children-changed")) {
      s.menus.forget(event->source);
      if (G_VALUE_HOLDS(&event->any_data, ATSPI_TYPE_ACCESSIBLE))
        if (auto* child = static_cast<AtspiAccessible*>(g_value_get_object(&event->any_data))) s.menus.forget(child);
      return;
    }
    const bool focus = type.startsWith("object:state-changed:focused");
    if (focus && event->detail1 == 0) return;  // focus leaving: the next one gaining it counts
    const bool window = type.startsWith("window:activate");
    // Changes count only for the focused object, and for the text field of a focused drop-down
    // list that can be typed into: what is typed there and where its caret goes are the list's.
    const bool textEvent = type.startsWith("object:text-changed") || type.startsWith("object:text-caret-moved");
    if (!focus && !window && event->source != s.focused && !(textEvent && isFieldOf(event->source, s.focused))) return;
    jex::WriteLog(QStringLiteral("reader: %1 %2").arg(QString::fromLatin1(type)).arg(event->detail1), jex::kDetail);
    if (focus) {
      if (event->source != s.focused) s.field.reset();  // the same field again keeps its caret
      replace(s.focused, event->source);
    }
    int delayMs = 0;
    if (window) {
      replace(s.pendingWindow, event->source);
      delayMs = kReplaceWaitMs;  // said with the focus that follows, when the window still shows
    } else {
      ReaderEvent::Type t = ReaderEvent::Changed;
      if (focus) {
        t = ReaderEvent::Focus;
      } else if (type.startsWith("object:text-caret-moved")) {
        int from = -1;
        // The move an edit of the text causes is heard with the edit, through the key echo.
        if (!s.field.moved(event->detail1, &from)) return;
        t = ReaderEvent::Caret;
        delayMs = kReplaceWaitMs;
        s.caretFrom = from;
        s.caretTo = event->detail1;
      } else if (type.startsWith("object:text-changed")) {
        t = ReaderEvent::Edited;
        const bool inserted = type.startsWith("object:text-changed:insert");
        const bool replacing = inserted && s.pending == event->source && s.pendingType == ReaderEvent::Edited &&
                               !s.editInserted && s.editOffset == event->detail1;
        // An edit not read yet is read now: every key typed is echoed, however busy the thread.
        if (!replacing) readEditNow(s);
        s.editReplaced = replacing ? s.editText : QString();
        s.editInserted = inserted;
        delayMs = inserted ? 0 : kReplaceWaitMs;
        s.editOffset = event->detail1;
        s.editLength = event->detail2;
        s.editText = G_VALUE_HOLDS_STRING(&event->any_data) ? QString::fromUtf8(g_value_get_string(&event->any_data))
                                                            : QString();
        s.editCaretWasAfter = s.field.edited(s.editInserted, s.editOffset, s.editLength);
      }
      // A focus waiting to be read is not overtaken by a change of the same object, nor an edit
      // by the change of value that comes with it. An edit overtaken by another edit was read
      // above; one overtaken by the focus or a caret move in the same burst goes unsaid: a
      // drop-down list's field filled by choosing an entry is no typing.
      const bool keep = s.pending && ((s.pendingType == ReaderEvent::Focus && t != ReaderEvent::Focus) ||
                                      (s.pendingType == ReaderEvent::Edited && t == ReaderEvent::Changed));
      if (!keep) {
        s.pendingType = t;
        replace(s.pending, event->source);
      }
    }
    schedule(s, delayMs);
  });
}

gboolean readPending(gpointer data) {
  auto& s = *static_cast<AtspiListener::State*>(data);
  g_source_unref(s.idle);
  s.idle = nullptr;
  s.delayed = false;
  AtspiAccessible* window = s.pendingWindow;
  AtspiAccessible* object = s.pending;
  const ReaderEvent::Type type = s.pendingType;
  s.pendingWindow = s.pending = nullptr;
  jex::trap("AtspiListener.read", [&] {
    const qint64 pid = s.owner->followedPid();
    auto ours = [pid](AtspiAccessible* a) {
      if (!a || pid <= 0) return false;
      GError* err = nullptr;
      const guint p = atspi_accessible_get_process_id(a, &err);
      if (failed(err, "process")) return false;
      if (qint64(p) != pid)
        jex::WriteLog(QStringLiteral("reader: an event of process %1 passed over").arg(p), jex::kDetail);
      return qint64(p) == pid;
    };
    ReaderEvent e;
    if (ours(window) && stillFocused(window, true)) {
      GError* err = nullptr;
      e.type = ReaderEvent::Window;
      e.windowTitle = take(atspi_accessible_get_name(window, &err));
      failed(err, "window title");
      e.windowText = boxText(window);
    }
    bool heard = ours(object);
    if (heard && type == ReaderEvent::Focus && !stillFocused(object)) {
      heard = false;
      e = ReaderEvent();  // nor the window it came with: the focus has gone on from there
    }
    if (heard) {
      const QString title = e.windowTitle, text = e.windowText;
      if (!title.isEmpty() && type != ReaderEvent::Focus) s.owner->deliver(e);  // the title first, on its own
      e = ReaderEvent();
      e.type = type;
      if (type == ReaderEvent::Focus) {
        e.windowTitle = title;
        e.windowText = text;
      }
      if (type == ReaderEvent::Caret) {
        e.caret.from = s.caretFrom;
        e.caret.to = s.caretTo;
        // The line is cut from the text around the caret (not every toolkit answers for lines).
        const int from = qMax(0, s.caretTo - kReadChars);
        const QString around = textOf(object, from, s.caretTo + kReadChars);
        const int at = s.caretTo - from;
        e.caret.character = around.mid(at, 1);
        const int start = int(around.lastIndexOf(u'\n', at - 1)) + 1;
        const qsizetype end = around.indexOf(u'\n', at);
        e.caret.line = around.mid(start, end < 0 ? -1 : end - start);
        // Whose text it is: a field the user can type into holds what may have been typed.
        GError* err = nullptr;
        e.info.kind = kindOf(atspi_accessible_get_role(object, &err));
        failed(err, "role");
        if (AtspiStateSet* states = atspi_accessible_get_state_set(object)) {
          e.info.editable = atspi_state_set_contains(states, ATSPI_STATE_EDITABLE) &&
                            !atspi_state_set_contains(states, ATSPI_STATE_READ_ONLY);
          g_object_unref(states);
        }
        if (e.info.kind == Kind::PasswordEdit || e.info.kind == Kind::ComboBox) e.info.editable = true;
      } else if (type == ReaderEvent::Edited) {
        // Typing in a text field (a spin box says its new value instead); a password's
        // characters are never told.
        GError* err = nullptr;
        const Kind kind = kindOf(atspi_accessible_get_role(object, &err));
        const bool text =
            !failed(err, "role") && (kind == Kind::Edit || kind == Kind::PasswordEdit || kind == Kind::Document);
        const int from = qMax(0, s.editOffset - kReadChars);
        QString now = text ? textOf(object, from, s.editOffset + (s.editInserted ? s.editLength : 0) + 1) : QString();
        QString changed = s.editText;
        if (changed.isEmpty() && s.editInserted) changed = now.mid(s.editOffset - from, s.editLength);
        if (kind == Kind::PasswordEdit) {
          now.fill(u'*');
          changed.fill(u'*');
        }
        heard = text && !changed.isEmpty();
        e.edit = editOf(s.editInserted, s.editOffset, changed, now, from, s.editCaretWasAfter);
        e.edit.listField = object != s.focused;  // the field of the focused drop-down list
        if (s.editInserted && !s.editReplaced.isEmpty()) {
          e.edit.removed = kind == Kind::PasswordEdit ? QString(s.editReplaced.size(), u'*') : s.editReplaced;
          e.edit.before.insert(e.edit.offset, e.edit.removed);
        }
      } else {
        e.info = readInfo(object);
        if (type == ReaderEvent::Focus) {
          AtspiAccessible* menu = placeInMenu(object, e.info, s.menus);
          // The first entry heard in a submenu tells which one it is.
          if (menu && menu != s.menu) {
            GError* err = nullptr;
            AtspiAccessible* opener = atspi_accessible_get_parent(menu, &err);
            failed(err, "opener");
            if (opener) {
              if (isEntryRole(atspi_accessible_get_role(opener, &err))) e.info.enteredMenu = submenuName(menu);
              failed(err, "opener role");
              g_object_unref(opener);
            }
          }
          replace(s.menu, menu);
          if (menu) g_object_unref(menu);
        }
        // The caret where the focus found it, so that the first move is told by its length.
        if (type == ReaderEvent::Focus && s.field.caret() < 0 && object == s.focused)
          if (AtspiText* t = atspi_accessible_get_text_iface(object)) {
            GError* err = nullptr;
            const int caret = atspi_text_get_caret_offset(t, &err);
            if (!failed(err, "caret")) s.field.reset(caret);
            g_object_unref(t);
          }
      }
    }
    if (!e.windowTitle.isEmpty() || heard) s.owner->deliver(std::move(e));
  });
  if (window) g_object_unref(window);
  if (object) g_object_unref(object);
  return G_SOURCE_REMOVE;
}
}  // namespace

namespace {
struct TextRequest {
  AtspiListener::State* state;
  AtspiListener::TextRead done;
  int tries = 0;
};

gboolean readFocused(gpointer data) {
  auto* r = static_cast<TextRequest*>(data);
  FocusedText t;
  jex::trap("AtspiListener.readFocused", [&] {
    AtspiAccessible* a = r->state->focused;
    if (!a || !stillFocused(a)) return;
    GError* err = nullptr;
    t.pid = qint64(atspi_accessible_get_process_id(a, &err));
    if (failed(err, "process")) return;
    AtspiText* text = atspi_accessible_get_text_iface(a);
    if (!text) return;
    const AccessibleInfo info = readInfo(a);
    t.kind = info.kind;
    t.editable = info.editable;
    t.name = info.name.isEmpty() ? info.labelledBy : info.name;
    t.length = atspi_text_get_character_count(text, &err);
    if (!failed(err, "text length")) {
      t.caret = qBound(0, atspi_text_get_caret_offset(text, &err), t.length);
      if (failed(err, "caret")) t.caret = 0;
      t.found = true;
      // A password's characters are never read.
      if (t.kind != Kind::PasswordEdit)
        t.text = take(atspi_text_get_text(text, t.caret, qMin(t.length, t.caret + kMaxReadEdit), &err));
      failed(err, "text");
    }
    g_object_unref(text);
  });
  if (!t.found && ++r->tries < kFocusTries) return G_SOURCE_CONTINUE;
  r->done(std::move(t));
  return G_SOURCE_REMOVE;
}
}  // namespace

void AtspiListener::readFocusedText(TextRead done) {
  if (!state_) return;
  std::lock_guard lock(state_->mutex);
  if (!state_->loop || state_->stopping) return;
  GSource* wait = g_timeout_source_new(kFocusSettleMs);
  g_source_set_callback(wait, readFocused, new TextRequest{state_.get(), std::move(done)},
                        [](gpointer r) { delete static_cast<TextRequest*>(r); });
  g_source_attach(wait, state_->context);
  g_source_unref(wait);
}

void AtspiListener::start(Started started) {
  if (thread_.joinable() || !state_) return;
  state_->stopping = false;
  state_->registering = true;
  // The thread uses its state only: it may outlive this object (see stop()).
  thread_ = std::thread([sp = state_.get(), started = std::move(started)] {
    State& s = *sp;
    QString failure;
    s.context = g_main_context_new();
    g_main_context_push_thread_default(s.context);
    const int init = atspi_init();
    if (init > 1) failure = QStringLiteral("atspi_init failed (%1)").arg(init);
    if (failure.isEmpty()) {
      atspi_set_main_context(s.context);
      atspi_set_timeout(kCallTimeoutMs, kStartupTimeoutMs);
      s.listener = atspi_event_listener_new(onEvent, &s, nullptr);
      // Each registration is a call to the registry, which may be slow while it starts: the
      // thread waits for it, the core does not.
      QStringList refused;
      for (const char* type : kEvents) {
        GError* err = nullptr;
        if (!atspi_event_listener_register(s.listener, type, &err)) refused << QString::fromLatin1(type);
        g_clear_error(&err);
      }
      if (refused.size() == int(std::size(kEvents)))
        failure = QStringLiteral("no accessibility events can be registered");
      else if (!refused.isEmpty())
        jex::WriteErrorLog(QStringLiteral("reader: events not registered: ") + refused.join(u' '));
    }
    bool listening = false;
    {
      std::lock_guard lock(s.mutex);
      s.registering = false;
      listening = failure.isEmpty() && !s.stopping;
      if (listening) s.loop = g_main_loop_new(s.context, FALSE);
      if (!s.stopping) started(failure);  // under the lock: never after stop() has begun
    }
    if (listening) g_main_loop_run(s.loop);
    // Ends here: everything the thread made is undone on the thread.
    if (s.idle) {
      g_source_destroy(s.idle);
      g_source_unref(s.idle);
      s.idle = nullptr;
    }
    replace(s.focused, nullptr);
    replace(s.menu, nullptr);
    s.menus.clear();
    replace(s.pending, nullptr);
    replace(s.pendingWindow, nullptr);
    if (s.listener) {
      for (const char* type : kEvents) atspi_event_listener_deregister(s.listener, type, nullptr);
      g_object_unref(s.listener);
      s.listener = nullptr;
    }
    if (init <= 1) atspi_exit();
    g_main_context_pop_thread_default(s.context);
    {
      std::lock_guard lock(s.mutex);
      if (s.loop) g_main_loop_unref(s.loop);
      s.loop = nullptr;
    }
    g_main_context_unref(s.context);
    s.context = nullptr;
  });
}

void AtspiListener::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    // The loop is told to end from inside itself, so that a loop that has not started to run
    // yet ends as soon as it does.
    if (state_->loop) {
      GSource* quit = g_idle_source_new();
      g_source_set_callback(
          quit,
          [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
          },
          g_main_loop_ref(state_->loop), [](gpointer loop) { g_main_loop_unref(static_cast<GMainLoop*>(loop)); });
      g_source_attach(quit, state_->context);
      g_source_unref(quit);
    }
  }
  // A registration still waiting for the registry is given a moment; after that the thread is
  // left to end by itself with its state, so that the core never waits on the registry.
  for (int i = 0; i < 100 && state_->registering; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (state_->registering) {
    jex::WriteErrorLog(
        QStringLiteral("reader: the accessibility registry did not answer; its listener is left behind"));
    thread_.detach();
    (void)state_.release();
    return;
  }
  thread_.join();
}

}  // namespace corvane::reader
