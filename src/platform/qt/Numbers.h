// The desktop's side of the core's numbers (core/Numbers.h): the system locale's decimal
// separator, and the conversions for code that still reports Platform::Failure.
#pragma once

#include "core/Numbers.h"
#include "platform/qt/Failure.h"

#include <QString>

#include <string>

namespace Platform {

using KestrelMain::ToInt16;

// The system locale's decimal separator as UTF-8, empty when it is not one character.
std::string SystemDecimalPoint();

Failure OverflowFailure(const QString& what);

}  // namespace Platform
