// Another program's clipboard asked with a time limit on a virtual X display: the owner is the
// test's own connection to the display, which answers the request, refuses it, or never answers.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/clipboardviewer.h"
#include "tests/support/xserver.h"

namespace jex {
namespace {

using platform::cClipboardViewer;
using testing::XServer;

enum class Owner { None, Answers, Refuses, Silent };
struct OwnerCase {
  const char* name;
  Owner owner;
  std::optional<QString> text;
};
void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }

class ClipboardOwner : public ::testing::TestWithParam<OwnerCase> {
 protected:
  void SetUp() override {
    if (!x().ok()) GTEST_SKIP() << "no virtual display: " << x().error().toStdString();
    clipboard_ = x().atom("CLIPBOARD");
    window_ = x().create(x().root(), QStringLiteral("ClipOwner"));
    xcb_set_selection_owner(x().conn(), GetParam().owner == Owner::None ? XCB_WINDOW_NONE : window_, clipboard_,
                            XCB_CURRENT_TIME);
    x().sync();
    if (GetParam().owner == Owner::Answers || GetParam().owner == Owner::Refuses)
      answerer_ = std::thread([this] { answer(GetParam().owner == Owner::Answers); });
  }
  void TearDown() override {
    stop_ = true;
    if (answerer_.joinable()) answerer_.join();
    if (!x().ok()) return;
    xcb_set_selection_owner(x().conn(), XCB_WINDOW_NONE, clipboard_, XCB_CURRENT_TIME);
    x().destroy(window_);
  }
  // The owner's side: one request answered with the text (or refused).
  void answer(bool withText) {
    while (!stop_) {
      xcb_generic_event_t* e = xcb_poll_for_event(x().conn());
      if (!e) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      }
      if ((e->response_type & ~0x80) == XCB_SELECTION_REQUEST) {
        const auto* r = reinterpret_cast<xcb_selection_request_event_t*>(e);
        xcb_selection_notify_event_t n{};
        n.response_type = XCB_SELECTION_NOTIFY;
        n.requestor = r->requestor;
        n.selection = r->selection;
        n.target = r->target;
        n.time = r->time;
        n.property = XCB_ATOM_NONE;
        if (withText) {
          const QByteArray text = QStringLiteral("Grüße aus der Ablage").toUtf8();
          xcb_change_property(x().conn(), XCB_PROP_MODE_REPLACE, r->requestor, r->property, r->target, 8,
                              uint32_t(text.size()), text.constData());
          n.property = r->property;
        }
        xcb_send_event(x().conn(), 0, r->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
        xcb_flush(x().conn());
      }
      std::free(e);
    }
  }
  static XServer& x() { return XServer::instance(); }
  xcb_atom_t clipboard_ = 0;
  xcb_window_t window_ = 0;
  std::atomic<bool> stop_{false};
  std::thread answerer_;
};

TEST_P(ClipboardOwner, TheTextOrNothingWithinTheLimit) {
  constexpr int kLimitMs = 400;
  QElapsedTimer waited;
  waited.start();
  const std::optional<QString> text = cClipboardViewer::ownerText(kLimitMs);
  EXPECT_EQ(text, GetParam().text);
  // Not a speed check: an owner that never answers must not hold the caller for Qt's seconds.
  EXPECT_LT(waited.elapsed(), 4000);
}

INSTANTIATE_TEST_SUITE_P(Owners, ClipboardOwner,
                         ::testing::Values(OwnerCase{"nobody", Owner::None, QString()},
                                           OwnerCase{"answers", Owner::Answers, QStringLiteral("Grüße aus der Ablage")},
                                           OwnerCase{"refusesLeavesItToQt", Owner::Refuses, std::nullopt},
                                           OwnerCase{"neverAnswers", Owner::Silent, QString()}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jex
