#pragma once
// This platform's message texts for result codes, as the system's message table gives them on
// Windows (FormatMessage with FORMAT_MESSAGE_FROM_SYSTEM). Each text ends in CR LF there as here.
#include <optional>
#include <string>

#include "platform/WinTypes.h"

std::optional<std::string> SystemMessageText(HRESULT code);
