#pragma once
// Korvel's public interface: plain types and free functions over the reflectivity core.

namespace korvel {

// The version of the library, as the package reports it.
inline constexpr char kVersion[] = "0.1.0";

}  // namespace korvel
