#pragma once

// The version every report and the command line name.
inline constexpr const char* programVersion = "v0.6.4";
