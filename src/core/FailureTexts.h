// What failed, in the words the user reads, for the failures every desktop's backend can
// meet: one wording whichever backend met it.
#pragma once

namespace KestrelMain {

inline constexpr char CANNOT_READ_SCREEN[] = "Cannot read the screen";
inline constexpr char CANNOT_REGISTER_HOT_KEY[] = "Cannot register Ctrl+F";
// The desktop refused the capture: its user, or its own rules, said no.
inline constexpr char CAPTURE_NOT_ALLOWED[] =
    "The desktop did not allow Kestrel to capture the screen";

}  // namespace KestrelMain
