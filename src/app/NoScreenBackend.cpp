#include "app/NoScreenBackend.h"

namespace App {

std::string NoScreenBackend::Reason() const {
    return "no screen backend is available for this session (" + why_ + ")";
}

KestrelMain::Failure NoScreenBackend::Unavailable(std::string what) const {
    return KestrelMain::Failure{std::move(what), {}, Reason()};
}

KestrelMain::Result<Seam::ScreenRect> NoScreenBackend::ReadPrimaryScreen() {
    return Unavailable("Cannot find the primary screen");
}

KestrelMain::Result<Seam::PointerReading> NoScreenBackend::ReadPointer(const Seam::ScreenRect&) {
    return Unavailable("Cannot read the pointer position");
}

KestrelMain::Status NoScreenBackend::Start() {
    return Unavailable("Cannot capture the screen");
}

KestrelMain::Result<KestrelMain::Picture> NoScreenBackend::GrabScaled(const Seam::ScreenRect&, int,
                                                                      int) {
    return Unavailable("Cannot grab the screen");
}

}  // namespace App
