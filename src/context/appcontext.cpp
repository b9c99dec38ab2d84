#include "context/appcontext.h"

namespace jex {
namespace {

class EmptyContext final : public AppContext {
 public:
  QString appPath() const override { return {}; }
  QString appTitle() const override { return {}; }
  bool quitting() const override { return false; }
  qint32 foregroundMethod() const override { return 1; }
  std::shared_ptr<cUser> currentUser() const override { return user_; }
  void setCurrentUser(std::shared_ptr<cUser> user) override { user_ = std::move(user); }
  Obj& core() override { return core_; }

 private:
  std::shared_ptr<cUser> user_;
  Obj core_;
};

AppContextSource g_source = nullptr;  // constant-initialised: safe to set during static start-up

}  // namespace

AppContext& appContext() {
  if (g_source) return g_source();
  static EmptyContext empty;
  return empty;
}

void setAppContextSource(AppContextSource source) { g_source = source; }

}  // namespace jex
