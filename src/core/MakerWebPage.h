// The maker's web page, which the About window's web button opens in the user's browser:
// the same address on every desktop. The host is a build-time setting.
#pragma once

namespace KestrelMain {

inline constexpr char MAKER_WEB_PAGE[] = "http://" KESTREL_MAKER_HOST "/education/dl/tools/";

}  // namespace KestrelMain
