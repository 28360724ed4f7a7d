// The shared library itself is assembled from the family archives (see the top-level
// CMakeLists.txt). This unit carries nothing but the build's identity string, so that a
// core file or `strings liborvane.so` tells which build a host had loaded.
namespace {
[[maybe_unused]] __attribute__((used)) const char kBuildIdentity[] = "OrvaneLib " ORVANE_VERSION_STRING;
}
