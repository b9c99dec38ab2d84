#include "global/sounds.h"

#include "base/error.h"
#include "global/cglobal.h"
#include "platform/sound.h"
#include "users/cuser.h"

namespace jex {

void PlaySound(const QString& Name) {
  trap("mMain.PlaySound", [&] {
    const auto& user = gGlobal().UserProfile;
    if (!user || user->UseSounds() == 0) return;
    const QString file =
        Name.isEmpty() ? QString() : user->Path() + QStringLiteral("sounds/") + Name + QStringLiteral(".wav");
    platform::playWave(file);
  });
}

}  // namespace jex
