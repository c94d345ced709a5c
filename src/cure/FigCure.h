#pragma once

#include "engine/FigTopic.h"

#include <array>
#include <cstdint>

enum TFigCureStatus : uint8_t { csUncured, csCured, csIgnored };

template <> struct TFigEnumNames<TFigCureStatus> {
  static constexpr std::array<std::wstring_view, 3> Names = {L"csUncured", L"csCured",
                                                             L"csIgnored"};
};
