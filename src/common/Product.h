#pragma once

// The program's name, its command, its home page and its version, said once for every part that shows
// them. The version numbers come from the build (CMake's project version).
namespace Product {

inline constexpr const char* kName = "Veltra WMA Converter";
inline constexpr const char* kCommand = "veltra-wma-converter";
inline constexpr const char* kHomePage = "https://www.veltrasoft.example/";
inline constexpr const char* kMaker = "Veltra Software";

#if defined(VELTRA_VERSION_MAJOR) && defined(VELTRA_VERSION_MINOR) && defined(VELTRA_VERSION_PATCH)
#define VELTRA_TEXT_OF(x) #x
#define VELTRA_VERSION_TEXT(a, b, c) VELTRA_TEXT_OF(a) "." VELTRA_TEXT_OF(b) "." VELTRA_TEXT_OF(c)
// "1.0.0".
inline constexpr const char* kVersion =
    VELTRA_VERSION_TEXT(VELTRA_VERSION_MAJOR, VELTRA_VERSION_MINOR, VELTRA_VERSION_PATCH);
#undef VELTRA_VERSION_TEXT
#undef VELTRA_TEXT_OF
#endif

} // namespace Product
