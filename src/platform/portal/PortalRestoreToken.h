// The screen cast's restore token, kept between runs: with it the portal restores the grant
// at the next start without asking.
#pragma once

#include "core/Failure.h"

#include <string>

namespace Platform::Portal {

// The token kept in `file`, or empty when there is none.
std::string ReadRestoreToken(const std::string& file);

// Keeps `token` in `file` in place of the one before, which a run that ends halfway leaves
// whole.
KestrelMain::Status SaveRestoreToken(const std::string& file, const std::string& token);

}  // namespace Platform::Portal
