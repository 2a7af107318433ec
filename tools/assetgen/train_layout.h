// Dimensions of the train and its track, in the train's own coordinates (y up; the train turns
// about the y axis, so it moves towards decreasing polar angle atan2(z, x)).
#pragma once

namespace assetgen {

inline constexpr double kTrackRadius = 262.0;
inline constexpr double kRailY = -138.0;    // top of the rails: where the wheels touch
inline constexpr double kGaugeHalf = 13.0;  // wheel planes either side of the centre line
// The painted rails, centred at kTrackRadius +- kGaugeHalf under the wheels: half the width of
// a rail and its height above the sleepers.
inline constexpr double kRailHalfWidth = 1.5;
inline constexpr double kRailHeight = 3.0;
// In one 0.5 s loop of the wheel animation the train covers 0.2 x 262 x 0.5 = 26.2 units; these
// radii roll that off in five and three eighths of a turn, whole spoke spacings of the picture.
inline constexpr double kSmallWheelRadius = 6.67;
inline constexpr double kDriverWheelRadius = 11.12;

// The chimney's top, where the smoke is born.
inline constexpr double kChimneyX = -221.974;
inline constexpr double kChimneyY = -89.651;
inline constexpr double kChimneyZ = -137.885;

}  // namespace assetgen
