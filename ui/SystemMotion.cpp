#include "ui/SystemMotion.h"

#include <utility>

namespace Lorvex::UI {
namespace {

std::function<SystemMotion()>& Seam() {
    static std::function<SystemMotion()> read;
    return read;
}

}  // namespace

double CaretBlinkSeconds(UINT milliseconds) {
    if (milliseconds == INFINITE) {
        return 0;
    }
    return milliseconds == 0 ? SystemMotion{}.caretBlink : milliseconds / 1000.0;
}

SystemMotion ReadSystemMotion() {
    if (Seam()) {
        return Seam()();
    }
    SystemMotion motion;
    BOOL animations = TRUE;
    if (SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animations, 0)) {
        motion.animations = animations != FALSE;
    }
    motion.caretBlink = CaretBlinkSeconds(GetCaretBlinkTime());
    return motion;
}

void SetSystemMotionForTesting(std::function<SystemMotion()> read) {
    Seam() = std::move(read);
}

}  // namespace Lorvex::UI
